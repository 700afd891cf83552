// Reading the command line: options may stand before, between or after the operands.
#include "Options.h"

#include <map>

namespace korvane::cli {

const char kUsage[] =
    "Usage: korvane-cli compare SOURCE COPY\n"
    "       korvane-cli compare --swap SOURCE (--interactive | --swap-command CMD)\n"
    "       korvane-cli compare --sectors SOURCE IMAGE\n"
    "       korvane-cli calc SOURCE -o LIST [--format korvane|md5sum]\n"
    "       korvane-cli verify LIST SOURCE\n"
    "       korvane-cli readtest SOURCE\n"
    "       korvane-cli drives\n"
    "\n"
    "Checks that a copied disc holds exactly what its source disc holds.\n"
    "\n"
    "  compare    compare every file of SOURCE with COPY byte for byte (比較, two drives);\n"
    "             with --swap, digest SOURCE, exchange the disc, digest the copy and compare\n"
    "             (比較, one drive); with --sectors, compare a disc (or an image) with the\n"
    "             image it was burnt from, sector by sector (2,048 bytes each)\n"
    "  calc       digest every file of SOURCE and save the digest list LIST (MD5計算)\n"
    "  verify     verify SOURCE against the digest list LIST (MD5読込)\n"
    "  readtest   read every file of SOURCE and report those that cannot be read\n"
    "             (リードエラーテスト)\n"
    "  drives     list the drives: letter, device, mount point, label\n"
    "\n"
    "SOURCE and COPY are drive letters (D:), device nodes (/dev/sr0), folders or disc image\n"
    "files (ISO 9660, told by their content, read without mounting).\n"
    "\n"
    "Options:\n"
    "  -o, --output LIST     the digest list that calc writes\n"
    "      --format FORMAT   calc's list format: korvane (the program's own) or md5sum\n"
    "      --swap            one-drive compare: the copy goes into the SOURCE drive\n"
    "      --swap-command CMD  run CMD (with /bin/sh) to exchange the disc\n"
    "      --interactive     ask on the terminal to exchange the disc and wait for Enter\n"
    "      --sectors         compare SOURCE with IMAGE sector by sector\n"
    "      --tsv FILE        also write the result table to FILE (CSV出力)\n"
    "  -q, --quiet           print only the files that are not OK\n"
    "      --json            print one JSON object per file and one for the summary\n"
    "  -h, --help            print this help\n"
    "      --version         print the version\n"
    "\n"
    "Exit status: 0 success; 1 a file is not OK or could not be read; 2 usage error or a\n"
    "failure that ended the run; 130 interrupted (Ctrl-C stops the run after the current\n"
    "block, as 中断 does).\n";

namespace {

struct CommandInfo {
    Command command;
    std::size_t operands;
    std::string operandNames;
};

const std::map<std::string, CommandInfo>& Commands() {
    static const std::map<std::string, CommandInfo> commands = {
        {"compare", {Command::Compare, 2, "SOURCE COPY"}},
        {"calc", {Command::Calc, 1, "SOURCE"}},
        {"verify", {Command::Verify, 2, "LIST SOURCE"}},
        {"readtest", {Command::ReadTest, 1, "SOURCE"}},
        {"drives", {Command::Drives, 0, ""}},
    };
    return commands;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
    if (args.empty()) {
        error = "no command given";
        return false;
    }
    if (args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
        o.command = Command::Help;
        return true;
    }
    if (args[0] == "--version") {
        o.command = Command::Version;
        return true;
    }
    const auto known = Commands().find(args[0]);
    if (known == Commands().end()) {
        error = "unknown command '" + args[0] + "'";
        return false;
    }
    const CommandInfo& info = known->second;
    o.command = info.command;

    std::string format = "korvane";
    bool onlyOperands = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        if (onlyOperands || arg == "-" || arg.empty() || arg[0] != '-') {
            o.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyOperands = true;
            continue;
        }
        std::string inlineValue;
        bool hasInline = false;
        const std::size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = arg.substr(equals + 1);
            hasInline = true;
            arg.resize(equals);
        }
        auto value = [&](std::string& into) {
            if (hasInline) {
                into = inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = "option " + arg + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        auto flag = [&](bool& into) {
            if (hasInline) {
                error = "option " + arg + " takes no value";
                return false;
            }
            into = true;
            return true;
        };
        auto only = [&](Command command) {
            if (o.command == command) return true;
            error = "option " + arg + " does not apply to " + args[0];
            return false;
        };
        bool ok = false;
        if (arg == "-o" || arg == "--output") {
            ok = only(Command::Calc) && value(o.output);
        } else if (arg == "--format") {
            ok = only(Command::Calc) && value(format);
        } else if (arg == "--swap") {
            ok = only(Command::Compare) && flag(o.swap);
        } else if (arg == "--sectors") {
            ok = only(Command::Compare) && flag(o.sectors);
        } else if (arg == "--swap-command") {
            ok = only(Command::Compare) && value(o.swapCommand);
        } else if (arg == "--interactive") {
            ok = only(Command::Compare) && flag(o.interactive);
        } else if (arg == "--tsv") {
            if (o.command == Command::Drives) {
                error = "option --tsv does not apply to drives";
            } else {
                ok = value(o.tsv);
            }
        } else if (arg == "-q" || arg == "--quiet") {
            ok = flag(o.quiet);
        } else if (arg == "--json") {
            ok = flag(o.json);
        } else if (arg == "-h" || arg == "--help") {
            o.command = Command::Help;
            return true;
        } else {
            error = "unknown option '" + arg + "'";
        }
        if (!ok) return false;
    }

    if (format != "korvane" && format != "md5sum") {
        error = "unknown list format '" + format + "' (korvane or md5sum)";
        return false;
    }
    o.md5sumFormat = format == "md5sum";
    const std::size_t wanted = o.swap ? 1 : info.operands;
    if (o.operands.size() != wanted) {
        error = args[0] + " takes " +
                (o.swap                      ? std::string("SOURCE with --swap")
                 : info.operandNames.empty() ? std::string("no operands")
                                             : info.operandNames);
        return false;
    }
    if (!o.swap && (o.interactive || !o.swapCommand.empty())) {
        error = "--interactive and --swap-command go with --swap";
        return false;
    }
    if (o.swap && !o.interactive && o.swapCommand.empty()) {
        error = "compare --swap needs --interactive or --swap-command CMD to exchange the disc";
        return false;
    }
    if (o.sectors && (o.swap || !o.tsv.empty())) {
        error = "--sectors goes with neither --swap nor --tsv";
        return false;
    }
    if (o.command == Command::Calc && o.output.empty()) {
        error = "calc needs -o LIST";
        return false;
    }
    return true;
}

}  // namespace korvane::cli
