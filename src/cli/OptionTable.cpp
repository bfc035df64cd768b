#include "cli/OptionTable.h"

#include <QStringList>

namespace pw::cli {

namespace {

QCommandLineOption option(const char* name, const char* help, const char* valueName = nullptr)
{
    QCommandLineOption made(QString::fromLatin1(name), QString::fromLatin1(help));
    if (valueName)
        made.setValueName(QString::fromLatin1(valueName));
    return made;
}

} // namespace

QList<QCommandLineOption> optionTable()
{
    QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")},
                             QStringLiteral("No log lines, no progress, no result lines."));
    return {
        option("port",
               "The port: COM1 to COM24 (mapped in the settings), a serial device path, or a USB serial adapter by "
               "what it is: usb:SERIAL or usb:VID:PID[:SERIAL]. Repeat it to run on several targets at once; a port "
               "named twice is refused. Without it the configured port is used.",
               "PORT"),
        option("baud", "The operating rate: 9600, 57600 or 115200; every connection starts at 9600.", "RATE"),
        option("start-addr", "The ISP start address, a multiple of 0x800 from 0 to 0x10000 (decimal or 0x...).",
               "ADDR"),
        option("pages", "erase: the page range to erase.", "FROM:COUNT"),
        option("txt", "dump: write Dump.txt (the default)."),
        option("bin", "dump: write Dump.bin."),
        option("o", "dump: write into FILE instead.", "FILE"),
        quiet,
        option("json",
               "One JSON object per port at the end: port, operation, result, message, seconds, bytes, exit; also "
               "when the run is refused before its port is opened."),
        option("events",
               "JSON lines on stdout while the run goes, schema version 1: start, log, phase-begin, progress, "
               "phase-end, message and result (and, for a station, waiting, board and totals), each with the port. "
               "Every run begins with one start and ends with one result."),
        option(
            "profile",
            "station: read the line from a station profile, an INI file whose [station] group holds the "
            "station's options as keys without their dashes (image, operation, port with its ports separated "
            "by commas, baud, start-addr, record, retries, before-board, after-board, reset-pulse, serial, "
            "serial-pool, database, serial-overwrite and skip-blank as true or false). Options on the command line win "
            "over the file. A key it does not know or a bad value is refused, naming the line.",
            "FILE"),
        option("record",
               "station: append one JSON line per board (schema version 2) to FILE, opened before the first frame; "
               "each line is written whole under a lock and is on disk before the next board. Several stations may "
               "share the file. db:LINE: one row per board in the database's record table instead, committed "
               "before the next board.",
               "FILE"),
        option("retries",
               "station: run a board again from its connect after a time-out or a hang-up, up to N times "
               "(default 0).",
               "N"),
        option("before-board",
               "station: run CMD through /bin/sh -c before each wait for a board, for at most 10 s. If it fails or "
               "overruns, that board is not run: it is a FAIL, recorded with the hook's status and output.",
               "CMD"),
        option("after-board",
               "station: run CMD through /bin/sh -c after each board, before its record is written, for at most "
               "10 s. If it fails or overruns, the board's one verdict is FAIL, recorded with the hook's status and "
               "output. Both hooks see PAGEWISE_PORT, PAGEWISE_BOARD, PAGEWISE_RESULT, PAGEWISE_RECORD and "
               "PAGEWISE_SERIAL.",
               "CMD"),
        option("reset-pulse",
               "station: drop DTR or RTS for MS milliseconds (default 100), then raise it again as an open port "
               "holds it, before each board is connected, for a fixture that wires it to the target's reset or "
               "power switch.",
               "dtr|rts[:MS]"),
        option("serial",
               "program, auto, station: write each board's serial number at ADDR as u8, u16le, u16be, u32le, u32be, "
               "u64le, u64be, bcdN (N bytes of packed BCD) or decN (N ASCII digits). The image is patched in memory; "
               "the field must be 0xFF in the image and lie inside the flash (for auto, at or above the start "
               "address). Needs --serial-pool.",
               "ADDR:FORMAT"),
        option("serial-pool",
               "The pool the numbers come from. Each number is reserved (on disk, under a lock) before the board is "
               "written and never issued again; it becomes used when the board passes, void when it fails or its "
               "process dies. db:NAME: a pool in the line's database, shared by stations on several PCs.",
               "POOL"),
        option("database",
               "The line's PostgreSQL database for db: pools and records, as a libpq connection string or URI "
               "(host=... dbname=... or postgresql://...). Without it libpq's defaults apply: PGHOST, PGDATABASE, "
               "PGUSER, PGSSLMODE and ~/.pgpass, which keeps the password off the command line. Messages name the "
               "server and the database, never the password.",
               "CONN"),
        option("serial-overwrite",
               "Write the serial number over image data on purpose (without it the field must be 0xFF in the "
               "image)."),
        option("start", "serials init: the pool's first number.", "N"),
        option("step", "serials init: the distance between numbers (default 1).", "K"),
        option("end", "serials init: the pool's last number (default: none).", "M"),
        option("skip-blank", "program, auto, station: do not send 8-byte blocks that are all 0xFF (they change "
                             "nothing); verify still reads "
                             "everything."),
    };
}

} // namespace pw::cli
