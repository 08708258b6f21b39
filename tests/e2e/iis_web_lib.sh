# Helpers of the scenarios that run the IIS actions under msiexec with the
# registrable metabase double standing in for IIS (the e2e tests and the
# demo). Sourced; loads lib.sh when it is not loaded yet.
[ -n "${E2E_DIR:-}" ] || source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# e2e_windows_path PATH: the prefix's name of a Linux path (drive Z:).
e2e_windows_path() { echo "Z:${1//\//\\}"; }

# iis_double_register DOUBLE_DLL [SEED] (in the work directory): copies the
# double and the seed metabase (SEED, by default metabase.txt beside this
# file) into the work directory as metabase.txt, names the metabase file through the environment that msiexec's
# custom-action servers inherit, and registers the double until
# iis_double_unregister.
iis_double_register() {
  cp "$1" metabase_double.dll || return 1
  cp "${2:-$E2E_DIR/metabase.txt}" metabase.txt || return 1
  IIS_DOUBLE=$(e2e_windows_path "$E2E_WORK/metabase_double.dll")
  export OXIIS_METABASE_FILE
  OXIIS_METABASE_FILE=$(e2e_windows_path "$E2E_WORK/metabase.txt")
  "$E2E_WINE" regsvr32 /s "$IIS_DOUBLE" </dev/null >/dev/null 2>&1
}

iis_double_unregister() {
  [ -n "${IIS_DOUBLE:-}" ] || return 0
  "$E2E_WINE" regsvr32 /s /u "$IIS_DOUBLE" </dev/null >/dev/null 2>&1
  IIS_DOUBLE=
}

# iis_build_package MSI TAG RETURN [NAME=VALUE ...]: builds MSI from
# iis_web.wxs with the three IIS web tables; RETURN is the actions' return
# handling ("check" or "ignore").
iis_build_package() {
  local msi=$1 tag=$2 return=$3 table
  shift 3
  e2e_wixl "$E2E_DIR/iis_web.wxs" "$msi" "$tag" -D "Return=$return" || return 1
  for table in IIsWebSite IIsWebAddress IIsWebVirtualDir; do
    msibuild "$msi" -i "$E2E_DIR/$table.idt" || return 1
  done
  e2e_add_properties "$msi" "$@"
}
