#include "cli/cli_station.h"

const char* StationHelpText() {
    return R"(Usage: vornak-cli station FILE [--db URL] [--station NAME] [--operator NAME]
                          [--once] [--rework] [--json] [--port P | --usb ID] [--trace]
                          [--trust DIR] [--allow-rollback] [--require-server]
       vornak-cli station FILE (--slots FILE | --slot NAME=PORT ...) [options]

Runs every box that is connected through the recipe (a TOML file): identity,
interlock, firmware update when the version differs, settings written, read
back and compared, downloads and the jump; records each unit in the store,
then prints its result and waits for the box to be removed and the next one
to answer. The recipe and every file it names are checked before any box is
touched; an error names the file, the line and the key (exit 2).

FILE is a recipe or a release bundle (*.vbundle, from vornak-cli release
create). A bundle's signature, every file's SHA-256 and its expiry date are
checked before any box is touched; a box whose version text starts with none
of the bundle's families fails at identify with reason INCOMPATIBLE_BOX and
gets nothing. A bundle whose release number is below one that already passed
for its variant in the store is refused (exit 2) unless --allow-rollback.

Options:
  --db URL         sqlite:PATH (default: records.db beside FILE) or
                   postgresql://...; a server that does not answer keeps the
                   records in records-queue.db beside FILE until it is back
                   (said on stderr); one that refuses (password, user,
                   database, an option, SSL) is an error (exit 2)
  --require-server take no box while the PostgreSQL server is away
  --station NAME   station name in the records (default: the host name)
  --operator NAME  operator name in the records (default: $USER)
  --once           stop after one unit
  --rework         run a serial that already passed this recipe (marked rework)
  --json           one JSON object per event on stdout (schema in README)
  --port P         watch this port only (as for the other commands: COMn or
                   n, a device path, a /dev/serial name); otherwise every port
                   is scanned
  --usb ID         watch the USB adapter VID:PID[:SERIAL] only
  --slots FILE     run one box per fixture slot, all at once; FILE (TOML) has
                   one [[slot]] table per slot with name = "..." and
                   port = "..."
  --slot NAME=PORT one fixture slot (repeat for more): PORT is COMn or n, a
                   device path (/dev/serial/by-path/... names one USB socket),
                   or usb:VID:PID[:SERIAL]
  --trace          print every frame in hex on stderr
  --trust DIR      the trusted release keys: the *.pub files of DIR (default
                   /etc/vornak/trusted-keys). While it holds a key, plain
                   recipes are refused and only bundles signed by one of its
                   keys run
  --allow-rollback run a bundle older than a release that already passed
                   (every record marked rollback)

stdout, one line per unit:
  PASS <serial> <variant> <seconds>
  FAIL <serial> <step> <reason>
With slots each line starts with the slot's name: "<slot> PASS ...". Two slots
holding the same serial fail the second with reason DUPLICATE_SERIAL.
Progress and messages go to stderr. Ctrl-C while waiting for a box ends the
station; during a unit the unit finishes first, and a second Ctrl-C aborts it
(recorded as aborted with its step).

A damaged store is refused at the start (exit 2). A record the store fails to
take (disk full, locked, damaged) is said in words, and no further box is
taken until the store takes that record.

Exit status with --once: 0 pass (every slot), 1 fail or aborted, 2 bad recipe, store or
usage. Without --once: 0 after Ctrl-C, 2 as above.
)";
}
