# Helpers of the scenarios that build the products' packages from the package
# kit and take them through their life under msiexec. Sourced; loads lib.sh
# when it is not loaded yet.
[ -n "${E2E_DIR:-}" ] || source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

PRODUCTS_ROOT=$(realpath "$E2E_DIR/../..")

# products_build WXS MSI TAG VERSION: the package as the kit's guide builds
# it (wixl with the kit as include folder, the type fix-up).
products_build() {
  e2e_wixl "$1" "$2" "$3" -I "$PRODUCTS_ROOT/kit" -D "Version=$4" || return 1
  "$PRODUCTS_ROOT/kit/wixl-fixup.sh" "$2"
}

# products_remove_leftovers UPGRADE_CODE: removes the products of that
# upgrade code that an interrupted run left installed.
products_remove_leftovers() {
  local code
  for code in $(e2e_related_products "$1"); do e2e_msiexec /x "$code" /qn || true; done
}

# products_failed_actions LOG_TXT: the actions that ended with "Return value
# 0" (Wine's failure), leaving out MigrateFeatureStates, which Wine always
# reports so.
products_failed_actions() {
  sed -n 's/^Action ended [0-9:]*: \(.*\)\. Return value 0\..*/\1/p' "$1" | grep -v '^MigrateFeatureStates$' | tr '\n' ' '
}

# products_entered LOG_TXT: the exports whose entry line the log holds: the
# entry event of a classic action, the action-start text of a setup-library one.
products_entered() {
  tr -d '\r' <"$1" | sed -n -e 's/^\([A-Za-z0-9_]*\): .*: Welcome!: Entering Binary custom action.*/\1/p' \
    -e 's/^Action [0-9:]*: \(Oxa[A-Za-z]*\)\. ..*$/\1/p' | sort -u
}
