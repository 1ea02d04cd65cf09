# The program on KDE's KWin with kded5 and KDE's portal, inside a Debian 12
# chroot that the suite makes on its first run (some minutes) and keeps in
# /var/cache/vornik-e2e; it installs the program's Debian package there.
vornik_add_e2e(e2e_kde kde.sh)
set_property(TEST e2e_kde PROPERTY SKIP_RETURN_CODE 77)
# One desktop session in the chroot at a time.
set_property(TEST e2e_kde PROPERTY RESOURCE_LOCK desktop_chroot)
set_property(TEST e2e_kde PROPERTY TIMEOUT 1500)
