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

# A drive root: the check rejects it, so the deferred action gets no data.
e2e_build_shares_package root.msi || exit 1
e2e_install root.msi root.log 'CATALOGPATH=C:\' CATSHARENAME=OndexCatalog
log=root.log.txt
expect_eq "$E2E_RC" 0 "a rejected folder does not fail the installation"
expect_eq "$(e2e_tolka_lines $log CheckShareFolder)" "CATALOGPATH cannot be root." "the check says why"
expect_line $log "Property(S): CheckShareFolderResult = ERR_ROOT"
expect_eq "$(e2e_tolka_lines $log ShareLocalFolder)" "CustomActionData is not set." "ShareLocalFolder has nothing to do"
expect_eq "$(e2e_action_result $log ShareLocalFolder)" 1 "ShareLocalFolder succeeds"

# Removal: the share name reaches DelShareFolder, whose deletion result does not count.
e2e_uninstall root.msi remove.log CATSHARENAME=OndexCatalog
log=remove.log.txt
expect_eq "$E2E_RC" 0 "removal succeeds"
expect_eq "$(e2e_tolka_lines $log DelShareFolder)" "" "DelShareFolder takes its one item silently"
expect_eq "$(e2e_action_result $log DelShareFolder)" 1 "DelShareFolder succeeds"

# A local folder: the check accepts it, the share call's failure fails the installation with its code.
e2e_build_shares_package local.msi || exit 1
e2e_install local.msi local.log 'CATALOGPATH=C:\OndexCatalog\' CATSHARENAME=OndexCatalog
log=local.log.txt
expect_line $log "Property(S): CheckShareFolderResult = OK"
expect_eq "$(e2e_tolka_lines $log ShareLocalFolder | cut -c1-41)" "ShareFolder NetShareAdd failed.: (0x32): " \
  "ShareLocalFolder names the failed step and its code"
expect_eq "$(e2e_action_result $log ShareLocalFolder)" 0 "ShareLocalFolder fails"
expect_eq "$E2E_RC" 67 "msiexec exits with 1603"
expect_false "the product is not registered" e2e_product_registered

# A share name holding the splitter gives the deferred action three items.
e2e_build_shares_package split.msi || exit 1
e2e_install split.msi split.log 'CATALOGPATH=C:\OndexCatalog' 'CATSHARENAME=Ondex|Catalog' SHAREANYWAY=1
log=split.log.txt
expect_eq "$(e2e_tolka_lines $log ShareLocalFolder)" "Some property is not set." "three items are refused"
expect_eq "$(e2e_action_result $log ShareLocalFolder)" 0 "ShareLocalFolder fails"
expect_eq "$E2E_RC" 67 "msiexec exits with 1603"

e2e_finish
