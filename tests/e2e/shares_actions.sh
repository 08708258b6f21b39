#!/usr/bin/env bash
# The folder-sharing actions in packages installed and removed by Wine's
# msiexec: the dialog's check gates the deferred data, the deferred actions
# get their "|" data from type-51 actions, and they report in the log what
# they were given and what the share calls answered. (Wine cannot share a
# folder: its NetShareAdd answers 50, which the action passes on.)
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

build() {
  local code
  code=$(e2e_uuid)
  E2E_PRODUCT_CODE="{$code}"
  wixl -a x64 -o "$1" -D "ProductCode=$code" -D "ComponentGuid=$(e2e_uuid)" "$E2E_DIR/shares.wxs"
}
# tolka_lines LOG ACTION: the time-stamped library lines logged by ACTION's run(s).
tolka_lines() {
  sed -n "/^Action start [0-9:]*: $2\./,/^Action ended [0-9:]*: $2\./s/^Tolka [0-9:]*: //p" "$1"
}

# A drive root: the check rejects it, so the deferred action gets no data.
build root.msi || exit 1
e2e_install root.msi root.log 'CATALOGPATH=C:\' CATSHARENAME=OndexCatalog
log=root.log.txt
expect_eq "$E2E_RC" 0 "a rejected folder does not fail the installation"
expect_eq "$(tolka_lines $log CheckShareFolder)" "CATALOGPATH cannot be root." "the check says why"
expect_line $log "Property(S): CheckShareFolderResult = ERR_ROOT"
expect_eq "$(tolka_lines $log ShareLocalFolder)" "CustomActionData is not set." "ShareLocalFolder has nothing to do"
expect_eq "$(e2e_action_result $log ShareLocalFolder)" 1 "ShareLocalFolder succeeds"

# Removal: the share name reaches DelShareFolder, whose deletion result does not count.
E2E_RC=0
e2e_msiexec /x root.msi /qn /l*vx remove.log CATSHARENAME=OndexCatalog || E2E_RC=$?
e2e_log_text remove.log
log=remove.log.txt
expect_eq "$E2E_RC" 0 "removal succeeds"
expect_eq "$(tolka_lines $log DelShareFolder)" "" "DelShareFolder takes its one item silently"
expect_eq "$(e2e_action_result $log DelShareFolder)" 1 "DelShareFolder succeeds"

# A local folder: the check accepts it, the share call's failure fails the installation with its code.
build local.msi || exit 1
e2e_install local.msi local.log 'CATALOGPATH=C:\OndexCatalog\' CATSHARENAME=OndexCatalog
log=local.log.txt
expect_line $log "Property(S): CheckShareFolderResult = OK"
expect_eq "$(tolka_lines $log ShareLocalFolder | cut -c1-41)" "ShareFolder NetShareAdd failed.: (0x32): " \
  "ShareLocalFolder names the failed step and its code"
expect_eq "$(e2e_action_result $log ShareLocalFolder)" 0 "ShareLocalFolder fails"
expect_eq "$E2E_RC" 67 "msiexec exits with 1603"
expect_false "the product is not registered" e2e_product_registered

# A share name holding the splitter gives the deferred action three items.
build split.msi || exit 1
e2e_install split.msi split.log 'CATALOGPATH=C:\OndexCatalog' 'CATSHARENAME=Ondex|Catalog' SHAREANYWAY=1
log=split.log.txt
expect_eq "$(tolka_lines $log ShareLocalFolder)" "Some property is not set." "three items are refused"
expect_eq "$(e2e_action_result $log ShareLocalFolder)" 0 "ShareLocalFolder fails"
expect_eq "$E2E_RC" 67 "msiexec exits with 1603"

e2e_finish
