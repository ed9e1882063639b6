#include "sim/sim_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseNumber(const std::string& text, uint32_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    unsigned long parsed = std::strtoul(text.c_str(), nullptr, 10);
    if (errno != 0 || parsed > 0xFFFFFFFFul) return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool ParseNumberList(const std::string& text, std::set<uint32_t>& numbers) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        uint32_t value = 0;
        if (!ParseNumber(item, value) || value == 0) return false;
        numbers.insert(value);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

}  // namespace

const char* SimUsage() {
    return "Usage: handset-sim --link PATH [options]\n"
           "\n"
           "Plays an MSM7200A handset in download mode behind a pseudo-terminal: the boot\n"
           "loader (RAM writes 0x0F, GO 0x05 at 0x00A00000), then the flash programmer's\n"
           "streaming protocol (hello, security mode, partition table, open / stream write /\n"
           "close, reset). After GO the port goes away and comes back behind the same link,\n"
           "as the handset enumerates again. Prints \"READY <terminal path>\" once it listens;\n"
           "ends with status 0 after a reset (or --vanish-after), or on SIGTERM.\n"
           "\n"
           "  --link PATH            symlink to the pty's terminal end (required)\n"
           "  --programmer FILE      Intel HEX programmer that RAM must hold for GO to start it\n"
           "                         (without it, whatever arrived is recorded and started)\n"
           "  --stored-table FILE    the handset's partition table (default: the first one sent)\n"
           "  --manifest FILE        JSON record of what arrived, written at reset or SIGTERM:\n"
           "                         {\"programmer\":{\"bytes\":N,\"sha256\":\"..\"},\n"
           "                          \"partition\":{\"bytes\":N,\"sha256\":\"..\",\"override\":0|1,\n"
           "                                       \"accepted\":true|false} or null,\n"
           "                          \"images\":{\"<name>\":{\"bytes\":N,\"sha256\":\"..\",\n"
           "                                             \"closed\":true|false},..},\n"
           "                          \"reset\":true|false}\n"
           "                         accepted, closed: the reply that took the table, that\n"
           "                         closed the image (for a header sent in its image's open:\n"
           "                         that open's reply) went out intact, not dropped or spoilt\n"
           "  --log FILE             one line per request received, in order:\n"
           "                           <n> <verdict> <length> <content>\n"
           "                         n counts requests from 1; verdict is ok, bad-crc,\n"
           "                         bad-escape or short; length and content are those of the\n"
           "                         request without its CRC (for a bad frame: what could be\n"
           "                         unescaped), content in lower-case hex, whole up to 8192\n"
           "                         bytes, else the first 32 bytes, \"...\" and sha256:<hex>\n"
           "                         of all of it\n"
           "\n"
           "Faults (N counts requests of the whole session from 1, as in the log):\n"
           "  --drop-reply N[,N..]      request N is handled but gets no reply\n"
           "  --corrupt-reply N[,N..]   the reply to N carries a wrong CRC\n"
           "  --garble-reply N[,N..]    the reply to N has a wrong leading byte\n"
           "  --wrong-address N[,N..]   a stream write N is stored but acknowledged with the\n"
           "                            previous chunk's address\n"
           "  --delay-ms MS             every reply leaves MS milliseconds late\n"
           "  --partition-status1       partition table answered with status 1 until a table\n"
           "                            with override 1 arrives\n"
           "  --silent-hello            hello is never answered\n"
           "  --vanish-after N          after acknowledging N stream writes the port closes for\n"
           "                            good (manifest written, status 0)\n"
           "\n"
           "  --version                 print the program's version and end\n";
}

bool ParseSimOptions(int argc, const char* const* argv, SimOptions& options, SimRequest& request, std::string& error) {
    request = SimRequest::kRun;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--help" || name == "-h" || name == "--version") {
            request = name == "--version" ? SimRequest::kVersion : SimRequest::kHelp;
            return true;
        }
        if (name == "--partition-status1") {
            options.partitionStatus1 = true;
            continue;
        }
        if (name == "--silent-hello") {
            options.silentHello = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = name + ": missing value";
            return false;
        }
        std::string value = argv[++i];
        bool good = true;
        if (name == "--link") options.link = value;
        else if (name == "--programmer") options.programmer = value;
        else if (name == "--stored-table") options.storedTable = value;
        else if (name == "--manifest") options.manifest = value;
        else if (name == "--log") options.log = value;
        else if (name == "--drop-reply") good = ParseNumberList(value, options.dropReply);
        else if (name == "--corrupt-reply") good = ParseNumberList(value, options.corruptReply);
        else if (name == "--garble-reply") good = ParseNumberList(value, options.garbleReply);
        else if (name == "--wrong-address") good = ParseNumberList(value, options.wrongAddress);
        else if (name == "--delay-ms") good = ParseNumber(value, options.delayMs);
        else if (name == "--vanish-after") good = ParseNumber(value, options.vanishAfter) && options.vanishAfter > 0;
        else {
            error = "unknown option " + name;
            return false;
        }
        if (!good) {
            error = name + ": bad value " + value;
            return false;
        }
    }
    if (options.link.empty()) {
        error = "--link is required";
        return false;
    }
    return true;
}
