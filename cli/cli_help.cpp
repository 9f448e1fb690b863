#include "cli/cli_help.h"

#include "cli/cli_station.h"

namespace {

constexpr char kToolHelp[] =
    R"(Usage: vornak-cli COMMAND [ARGS] [--port P | --usb ID] [--wait[=S]] [--trace]

Runs one operation of the Vornak tool on the box, with the same handlers as
the window's buttons, and reports what the window would show.

Commands:
  connect                  connect to the box and read its identity
  info                     read the box's version text and serial number
  disconnect               close the port
  read-settings [-o FILE]  read the 50 configuration options as JSON
  write-settings FILE      write the options of a JSON file to the box
  factory-reset            restore the box's factory settings
  upgrade PACKAGE          update the firmware from a package (*.pkg)
  send FILE --slot N       download FILE to load slot N (0 to 5)
  jump --slot N            make the box jump to load slot N (0 to 5)
  ports                    list the serial ports and their devices
  records list|show|export the unit records a station wrote, from records.db
                           in the current folder or --db URL (records --help)
  station FILE             run every box through a recipe or a release bundle
                           (station --help)
  release keygen|create|verify|list
                           signed release bundles of a recipe and its files
                           (release --help)

Options (each at most once):
  --port P       use this port without scanning for the box: a number N
                 (COMN, as `ports` lists them), a device path (/dev/ttyUSB0),
                 or a stable name of /dev/serial/by-id or by-path, whole or
                 bare (usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0)
  --usb ID       use the USB adapter VID:PID or VID:PID:SERIAL (hex, as
                 `ports` shows them); several matching adapters are an error
                 (exit 2) that lists them, none is an error (exit 1)
  --wait[=S]     before the command, wait until a box answers (on the port
                 --port or --usb chose, else on any port), at most S seconds
                 (exit 1 then); without S, until one does. A port that
                 appears is tried at once. Ctrl-C ends the wait: exit 130,
                 the command does not run
  --trace        print every frame in hex on stderr ("> " sent, "< " received)
  --help         this text; COMMAND --help for a command's own
  --version      print the version (alone on the command line)

Ports are found as the window finds them: COM1 to COM29 are tried in order
until one answers; with VORNAK_PORT_DIR set, port n is $VORNAK_PORT_DIR/COMn.
--port and --usb open their port at 115200 8N1 and send nothing until the
command's first request, so a silent box shows as 错误:EF03 on that port; when
the port can't be opened the tool says why on stderr (permission denied, busy,
gone, not a serial device) and exits with 1 before sending anything. A failure text is
followed on stderr by a "hint:" line that explains it.

Output on stdout, nothing else:
  status: TEXT      every text the status line shows, in order (a line that
                    is only cleared prints nothing)
  port: COMn        the fields the command filled, in this order, each only
  version: TEXT     when the command set it to a non-empty text
  serial: HEX
read-settings without -o then prints the settings JSON. Messages and progress
(upgrade, send; only when stderr is a terminal) go to stderr.

Exit status: 0 when the command's final outcome is success (see COMMAND
--help), 1 when the box or the link reported a failure, 2 for a usage error or
bad input (message on stderr; nothing is sent), 130 when Ctrl-C ended --wait.
)";

constexpr char kConnectHelp[] = R"(Usage: vornak-cli connect [--port P | --usb ID] [--wait[=S]]
                  [--trace]

The Connect button: scans for the box unless its port is open (or --port or
--usb is given), then reads the version text and the serial number. A port
that the port list does not number shows as its path ("port: /dev/ttyUSB0").

Prints: the status texts, then port, version and serial as far as they were
read.
Success (exit 0): the last status text is "设备连接成功.".
)";

constexpr char kInfoHelp[] = R"(Usage: vornak-cli info [--port P | --usb ID] [--wait[=S]]
                  [--trace]

The Get device information button: reads the version text and the serial
number (scanning first when no port is open).

Prints: the status texts (none when both reads succeed), then version and
serial as far as they were read.
Success (exit 0): no status text is an error text ("错误:...").
)";

constexpr char kDisconnectHelp[] = R"(Usage: vornak-cli disconnect [--trace]

The Disconnect button: closes the port. Each run of the tool opens its own
connection and closes it when it ends, so this mainly checks the handler.
--port and --usb have no effect here; --wait is refused.

Success (exit 0): the last status text is "断开连接正常!".
)";

constexpr char kReadSettingsHelp[] =
    R"(Usage: vornak-cli read-settings [-o FILE.json] [--port P | --usb ID] [--wait[=S]]
                  [--trace]

The Read settings button: reads the three configuration blocks into the
settings panel, then prints the panel as a JSON object after the status texts,
or writes it to FILE.json. Keys are the option names ("activePke", ...); flags
are true or false, selections the index of the chosen entry, or null for none.

Success (exit 0): no status text is an error text ("错误:...") and all three
blocks were read. A reply shorter than its block is a failed read
("错误:EF04"), whichever block. On failure no JSON is printed or written.
)";

constexpr char kWriteSettingsHelp[] =
    R"(Usage: vornak-cli write-settings FILE.json [--port P | --usb ID] [--wait[=S]]
                  [--trace]

The Write settings button: puts the options of FILE.json into the settings
panel and writes the three configuration blocks. FILE.json has the form that
read-settings prints, with every option present and no selection null.
A file that can't be read, isn't JSON, has an unknown or a missing key, a
wrong type, an index out of range, a null selection or a key given twice is
refused with a message on stderr and exit status 2; nothing is sent.

Success (exit 0): "写入设置成功" is shown once for each of the three blocks
and no status text is an error text.
)";

constexpr char kFactoryResetHelp[] =
    R"(Usage: vornak-cli factory-reset [--port P | --usb ID] [--wait[=S]]
                  [--trace]

The Factory reset button: restores the box's factory settings, then reads
the three configuration blocks back into the settings panel (a failed read
shows its error text after the success text).

Success (exit 0): the last status text is "恢复出厂设置成功".
)";

constexpr char kUpgradeHelp[] =
    R"(Usage: vornak-cli upgrade PACKAGE [--port P | --usb ID] [--wait[=S]]
                  [--trace]

The Upgrade firmware button: sends the package, makes the box apply it, reads
its identity again and restores its factory settings. Takes at least 12 s.
PACKAGE without a '/' is a file name in ./Prg (created when missing); with one
it is a path, relative to the current directory or absolute, used as it is
(./new.pkg for a file here). A file that can't be opened, or is no regular
file, is reported by the handler ("无法打开程序文件:...").

Prints: the status texts, then version and serial as read after the update.
Success (exit 0): the last status text is "固件刷新成功!" and no status text is
an error text ("错误:...").
)";

constexpr char kSendHelp[] =
    R"(Usage: vornak-cli send FILE --slot N [--port P | --usb ID] [--wait[=S]]
                  [--trace]

The Send button: downloads FILE to load slot N (0 to 5, at (N + 1) * 0x1E000),
preceded by a block with its length and SHA-1 digest.

Success (exit 0): the last status text is "文件发送完成.".
)";

constexpr char kJumpHelp[] = R"(Usage: vornak-cli jump --slot N [--port P | --usb ID] [--wait[=S]]
                  [--trace]

The Application jump button: makes the box jump to load slot N (0 to 5).

Success (exit 0): the last status text is "正在装载 ..." (a jump the link got
no reply to shows no text at all).
)";

constexpr char kPortsHelp[] = R"(Usage: vornak-cli ports

Lists the serial ports, one a line: the port name, the device that opening it
opens and, where the system knows it, a description, separated by one blank
(the description may itself hold blanks). For a USB adapter the description
is its maker and product; with VORNAK_PORT_DIR set, the ports are the COMn
links there and the description names where each link leads:
  COM1 /dev/ttyUSB0 FTDI FT232R USB UART
  COM3 /tmp/ports/COM3 -> /dev/pts/4
Exit status 0.
)";

}  // namespace

std::string HelpText(std::optional<CliCommand> command) {
    if (!command)
        return kToolHelp;
    switch (*command) {
        case CliCommand::Connect:
            return kConnectHelp;
        case CliCommand::Info:
            return kInfoHelp;
        case CliCommand::Disconnect:
            return kDisconnectHelp;
        case CliCommand::ReadSettings:
            return kReadSettingsHelp;
        case CliCommand::WriteSettings:
            return kWriteSettingsHelp;
        case CliCommand::FactoryReset:
            return kFactoryResetHelp;
        case CliCommand::Upgrade:
            return kUpgradeHelp;
        case CliCommand::Send:
            return kSendHelp;
        case CliCommand::Jump:
            return kJumpHelp;
        case CliCommand::Ports:
            return kPortsHelp;
        case CliCommand::Station:
            return StationHelpText();
    }
    return kToolHelp;
}

std::string UsageHint() {
    return "Try 'vornak-cli --help' for more information.";
}
