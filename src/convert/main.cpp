// tesmora-convert: converts recordings in batch, to text recordings or JSON Lines.

#include "convert/jsonl.h"
#include "csv/csv_writer.h"
#include "loading/load.h"
#include "recording/byte_sink.h"
#include "recording/convert_error.h"
#include "recording/file_name.h"
#include "recording/store.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace tesmora;

constexpr const char* kUsage =
    "usage: tesmora-convert [--format csv|jsonl] [--output PATH] [--force] INPUT...\n";

constexpr const char* kHelp =
    "Converts recordings (.lqd binary, other extensions text) one after another.\n"
    "\n"
    "  --format csv    text recording, as the viewer saves it (the default;\n"
    "                  MV31 and Pc56 recordings)\n"
    "  --format jsonl  JSON Lines: a header object, then one object per sample\n"
    "  --output PATH   output file (one INPUT only); - is standard output.\n"
    "                  Default: the INPUT with its extension replaced by .csv or .jsonl\n"
    "  --force         replace existing output files\n"
    "  --help          this text\n"
    "\n"
    "Exit status: 0 all converted, 1 some input failed, 2 usage error.\n";

struct Options {
    std::string format = "csv";
    std::string output;
    bool haveOutput = false;
    bool force = false;
    std::vector<std::string> inputs;
};

int UsageError(const char* why) {
    std::fprintf(stderr, "tesmora-convert: %s\n%s", why, kUsage);
    return 2;
}

void Say(const std::string& input, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", input.c_str(), text.c_str());
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// False when the format cannot hold the recording (nothing is written then).
bool WriteFormat(const RecordingStore& store, const std::string& format, ByteSink& sink) {
    if (format == "jsonl") {
        WriteJsonLines(store, sink);
        return true;
    }
    return WriteCsvRecording(store, sink);
}

const char* CannotHold(const RecordingStore& store) {
    return store.DataType == 3 ? "Pc48 recordings cannot be saved as CSV."
                               : "This kind of recording cannot be saved as CSV.";
}

bool WriteOutput(const RecordingStore& store, const std::string& input, const std::string& path,
                 const std::string& format, bool force) {
    if (path == "-") {
        ByteSink sink(STDOUT_FILENO);
        if (!WriteFormat(store, format, sink)) {
            Say(input, CannotHold(store));
            return false;
        }
        if (sink.Flush()) return true;
        Say(input, "cannot write standard output: " + SystemErrorText(sink.Error()));
        return false;
    }
    OutputFile file(path, force);
    if (!file.IsOpen()) {
        Say(input, "cannot create " + path + ": " + file.Error());
        return false;
    }
    ByteSink sink(file.Descriptor());
    if (!WriteFormat(store, format, sink)) {
        Say(input, CannotHold(store));
        return false; // the file is dropped
    }
    if (!sink.Flush()) {
        Say(input, "cannot write " + path + ": " + SystemErrorText(sink.Error()));
        return false;
    }
    if (!file.Commit()) {
        if (!force && Exists(path))
            Say(input, path + " exists (use --force to overwrite)");
        else
            Say(input, "cannot write " + path + ": " + file.Error());
        return false;
    }
    return true;
}

bool ConvertOne(RecordingStore& store, const std::string& input, const Options& opt) {
    const std::string output =
        opt.haveOutput ? opt.output
                       : WithExtension(input, opt.format == "jsonl" ? ".jsonl" : ".csv");
    if (output != "-" && !opt.force && Exists(output)) {
        Say(input, output + " exists (use --force to overwrite)");
        return false;
    }
    const LoadOutcome outcome = LoadRecording(
        store, input, LoadObserver::Reporting([&](LoadMessage m) { Say(input, MessageText(m)); }));
    if (!outcome.opened) {
        Say(input, outcome.openError);
        return false;
    }
    if (outcome.error) {
        Say(input, ErrorTextForDisplay(*outcome.error));
        return false;
    }
    for (LoadMessage m : outcome.messages)
        if (m != LoadMessage::StoreFull) return false; // already reported
    if (store.DataCount == 0) {
        Say(input, "No samples.");
        return false;
    }
    if (opt.format == "csv" && !CanWriteCsv(store)) {
        Say(input, CannotHold(store)); // before any file is made
        return false;
    }
    return WriteOutput(store, input, output, opt.format, opt.force);
}

int Run(int argc, char** argv) {
    Options opt;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            opt.inputs.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--force") {
            opt.force = true;
        } else if (arg == "--format" || arg == "--output") {
            if (i + 1 >= argc) return UsageError((arg + " needs a value").c_str());
            (arg == "--format" ? opt.format : opt.output) = argv[++i];
            if (arg == "--output") opt.haveOutput = true;
        } else if (arg.rfind("--format=", 0) == 0) {
            opt.format = arg.substr(9);
        } else if (arg.rfind("--output=", 0) == 0) {
            opt.output = arg.substr(9);
            opt.haveOutput = true;
        } else {
            return UsageError(("unknown option " + arg).c_str());
        }
    }
    if (opt.format != "jsonl" && opt.format != "csv")
        return UsageError(("unknown format " + opt.format).c_str());
    if (opt.inputs.empty()) return UsageError("no INPUT given");
    if (opt.haveOutput && opt.inputs.size() > 1) return UsageError("--output takes one INPUT only");
    if (opt.haveOutput && opt.output.empty()) return UsageError("--output needs a path");

    RecordingStore store;
    bool allConverted = true;
    for (const std::string& input : opt.inputs)
        if (!ConvertOne(store, input, opt)) allConverted = false;
    return allConverted ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    // Nothing below is expected to throw but running out of memory; say so rather than abort.
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tesmora-convert: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "tesmora-convert: unknown error\n");
    }
    return 1;
}
