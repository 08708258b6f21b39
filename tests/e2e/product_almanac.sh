#!/usr/bin/env bash
# The OndexAlmanac package built from the package kit (packages/OndexAlmanac.wxs)
# through its whole life under Wine's msiexec, against the metabase double
# (seeded from metabase_almanac.txt), the tests' service registered as
# IISADMIN, the stand-in iisreset.exe and selfssl.exe: version 1.0.0
# installed, repaired, upgraded to 2.0.0 (a major upgrade) and removed. Each
# installation's actions must succeed, and every export the package calls
# must have entered the library (every trace scope is on).
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory, metabase_double.dll,
# ondex_test_service.exe, the stand-in iisreset.exe, the stand-in selfssl.exe.
set -u
source "$(dirname "$0")/iis_maintenance_lib.sh"
source "$(dirname "$0")/products_lib.sh"
root=$(realpath "$E2E_DIR/../..")
double=$(realpath "$4") service=$(realpath "$5") reset=$(realpath "$6") selfssl=$(realpath "$7")
e2e_init "$1" "$2" "$3"
ALMANAC_UPGRADE_CODE=5B2F8D14-7E39-4A60-8C1B-9D3E6F0A2B48
trap 'products_remove_leftovers "$ALMANAC_UPGRADE_CODE"; iis_maint_cleanup; e2e_settings_clear; e2e_reg delete "HKLM\\SOFTWARE\\Ondex\\Almanac" /f' EXIT
products_remove_leftovers "$ALMANAC_UPGRADE_CODE"
iis_maint_setup "$double" "$service" "$reset" || { e2e_fail "the IIS stand-ins are set up"; e2e_finish; exit 1; }
cp "$E2E_DIR/metabase_almanac.txt" metabase.txt
e2e_settings_clear
e2e_settings_dword @TRACERFLAGS_ANDORMASK 0
e2e_settings_dword @TRACERFLAGS_XORMASK 1799
mkdir -p tools && cp "$selfssl" tools/selfssl.exe
ssl="SSLDATA=$(e2e_windows_path "$E2E_WORK/tools")|||80|||almanac.ondex.test|||443"

# almanac_build MSI VERSION: the package as the kit's guide builds it, with
# the IIS extension's tables of the web-site dialog.
almanac_build() {
  local table
  products_build "$root/packages/OndexAlmanac.wxs" "$1" almanac "$2" || return 1
  for table in IIsWebSite IIsWebAddress IIsWebVirtualDir; do
    msibuild "$1" -i "$root/kit/tables/$table.idt" || return 1
  done
  e2e_add_properties "$1" "$ssl"
}

almanac_build v1.msi 1.0.0 || exit 1
expect_true "IISADMIN runs" iis_admin_start
e2e_install v1.msi install.log
expect_eq "$E2E_RC" 0 "version 1.0.0 installs"
expect_eq "$(products_failed_actions install.log.txt)" "" "no action fails"
expect_line metabase.txt "    5506 0 1 3 hex:C0DE"
expect_eq "$(iis_admin_state)" 1 "the IIS Admin service is stopped"
expect_true "iisreset.exe ran" test -s "${IIS_RESET%/*}/commandline.txt"

e2e_install v1.msi repair.log REINSTALL=ALL REINSTALLMODE=vomus
expect_eq "$E2E_RC" 0 "version 1.0.0 is repaired"
expect_eq "$(products_failed_actions repair.log.txt)" "" "no action of the repair fails"

almanac_build v2.msi 2.0.0 || exit 1
expect_true "IISADMIN runs again" iis_admin_start
e2e_install v2.msi upgrade.log
expect_eq "$E2E_RC" 0 "version 2.0.0 upgrades 1.0.0"
expect_eq "$(products_failed_actions upgrade.log.txt)" "" "no action of the upgrade fails"
expect_eq "$(e2e_related_products "$ALMANAC_UPGRADE_CODE" | wc -l)" 1 "one Almanac is left installed"

e2e_uninstall v2.msi remove.log
expect_eq "$E2E_RC" 0 "version 2.0.0 is removed"
expect_false "the reports site is gone from the metabase" grep -qx '/LM/W3SVC/2' metabase.txt
cat install.log.txt repair.log.txt upgrade.log.txt remove.log.txt >all.log.txt
products_entered all.log.txt >almanac.entered
expect_eq "$(comm -13 almanac.entered "$E2E_DIR/product_almanac.exports" | tr '\n' ' ')" "" \
  "every export of Almanac entered the library"
e2e_finish
