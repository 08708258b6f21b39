#!/usr/bin/env bash
# InstallSSL under Wine's msiexec with the metabase double registered: the
# stand-in selfssl.exe, run from the work directory by the deferred action,
# gives the site on port 80 a certificate hash in the double's file, or
# fails and so fails the installation. (A given hash, bound without the
# tool, is proven by the Windows tests.)
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory, metabase_double.dll,
# the stand-in selfssl.exe.
set -u
source "$(dirname "$0")/iis_web_lib.sh"
double=$(realpath "$4")
selfssl=$(realpath "$5")
e2e_init "$1" "$2" "$3"
trap iis_double_unregister EXIT
iis_double_register "$double" || { e2e_fail "the metabase double registers"; e2e_finish; exit 1; }
mkdir -p tools && cp "$selfssl" tools/selfssl.exe
tools=$(e2e_windows_path "$E2E_WORK/tools")
hash_line='    5506 0 1 3 hex:C0DE'

e2e_wixl "$E2E_DIR/iis_ssl.wxs" ssl.msi iisssl || exit 1
e2e_install ssl.msi tool.log "SSLDATA=$tools|||80|||almanac.ondex.test|||443"
expect_eq "$E2E_RC" 0 "selfssl.exe leaves a certificate: the installation succeeds"
expect_eq "$(e2e_text tools/commandline.txt)" \
  "\"$tools\\selfssl.exe\" /T /N:CN=almanac.ondex.test /V:3650 /S:1 /P:443 /Q" "selfssl.exe's command line"
expect_line metabase.txt "$hash_line"
e2e_uninstall ssl.msi remove.log

cp "$E2E_DIR/metabase.txt" metabase.txt
export OXIIS_SELFSSL_FAIL=1
e2e_wixl "$E2E_DIR/iis_ssl.wxs" fail.msi iisssl || exit 1
e2e_install fail.msi fail.log "SSLDATA=$tools|||80|||almanac.ondex.test|||443"
unset OXIIS_SELFSSL_FAIL
expect_eq "$(e2e_action_result fail.log.txt InstallSSL)" 0 "without a certificate InstallSSL fails"
expect_eq "$E2E_RC" 67 "msiexec exits with 1603"
expect_line fail.log.txt "selfssl: the certificate could not be created"
expect_no_line metabase.txt "5506 "
e2e_finish
