# Helpers of the scenarios that run the IIS actions under msiexec with the
# registrable metabase double standing in for IIS (the e2e tests and the
# demo). Sourced; loads lib.sh when it is not loaded yet.
[ -n "${E2E_DIR:-}" ] || source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# iis_double_register DOUBLE_DLL [SEED] (in the work directory): copies the
# seed metabase (SEED, by default metabase.txt beside this file) into the work
# directory as metabase.txt, the double's file, and registers the double
# until iis_double_unregister.
iis_double_register() {
  cp "${2:-$E2E_DIR/metabase.txt}" metabase.txt || return 1
  e2e_inproc_register "$1" metabase_double.dll OXIIS_METABASE_FILE metabase.txt || return 1
  IIS_DOUBLE=$E2E_INPROC
}
iis_double_unregister() { e2e_inproc_unregister "${IIS_DOUBLE:-}"; IIS_DOUBLE=; }

# iis_build_package MSI TAG RETURN [NAME=VALUE ...]: builds MSI from
# iis_web.wxs with the three IIS web tables; RETURN is the actions' return
# handling ("check" or "ignore").
iis_build_package() {
  local msi=$1 tag=$2 return=$3 table
  shift 3
  e2e_wixl "$E2E_DIR/iis_web.wxs" "$msi" "$tag" -D "Return=$return" || return 1
  for table in IIsWebSite IIsWebAddress IIsWebVirtualDir; do
    msibuild "$msi" -i "$E2E_DIR/../../kit/tables/$table.idt" || return 1
  done
  e2e_add_properties "$msi" "$@"
}
