# The program on GNOME Shell with the AppIndicator extension and GNOME's
# portal, inside the Debian 12 chroot that the desktop suites make on their
# first run (some minutes) and keep in /var/cache/vornik-e2e; it installs the
# program's Debian package there.
vornik_add_e2e(e2e_gnome gnome.sh)
set_property(TEST e2e_gnome PROPERTY SKIP_RETURN_CODE 77)
# One desktop session in the chroot at a time.
set_property(TEST e2e_gnome PROPERTY RESOURCE_LOCK desktop_chroot)
set_property(TEST e2e_gnome PROPERTY TIMEOUT 1500)
# GNOME Shell's headless session, its portal and the program's dialogs are
# slow on a loaded machine: beside another suite, Escape after the save
# dialog was once lost. It runs alone.
set_property(TEST e2e_gnome PROPERTY RUN_SERIAL TRUE)
