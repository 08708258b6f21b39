// Stands in for iisreset.exe: writes its command line to commandline.txt
// beside itself and exits with 3, which the product ignores.
#include "support/standin_record.h"

int main() { return ondex::test::RecordCommandLine() ? 3 : 1; }
