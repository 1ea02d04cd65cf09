vornik_add_e2e(e2e_shell shell.sh)
vornik_add_e2e(e2e_screentools screentools.sh)
vornik_add_e2e(e2e_export export.sh)
