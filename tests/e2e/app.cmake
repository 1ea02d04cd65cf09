vornik_add_e2e(e2e_shell shell.sh)
vornik_add_e2e(e2e_screentools screentools.sh)
