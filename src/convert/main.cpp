// tesmora-convert: converts recordings in batch, to text recordings, JSON Lines, SNIRF, EDF+
// or BDF+, or sums up their desaturation in one table.

#include "analysis/desaturation.h"
#include "analysis/desaturation_table.h"
#include "analysis/notes.h"
#include "convert/jsonl.h"
#include "csv/csv_writer.h"
#include "export/events.h"
#include "export/export_format.h"
#include "loading/load.h"
#include "recording/byte_sink.h"
#include "recording/convert_error.h"
#include "recording/file_name.h"
#include "recording/store.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace tesmora;

constexpr const char* kUsage =
    "usage: tesmora-convert [--format csv|jsonl|snirf|edf|bdf] [--output PATH] [--force]\n"
    "                       INPUT...\n"
    "       tesmora-convert --format summary [--threshold PCT | --drop PCT]\n"
    "                       [--baseline-minutes M] [--min-episode S] [--merge-gap S]\n"
    "                       [--output PATH] [--force] INPUT...\n";

constexpr const char* kHelp =
    "Converts recordings (.lqd binary, other extensions text) one after another.\n"
    "\n"
    "  --format csv    text recording, as the viewer saves it (the default;\n"
    "                  MV31 and Pc56 recordings)\n"
    "  --format jsonl  JSON Lines: a header object, then one object per sample\n"
    "  --format snirf  SNIRF (HDF5), for fNIRS analysis software\n"
    "  --format edf    EDF+, 16-bit samples (about 4.5 significant digits)\n"
    "  --format bdf    BDF+, 24-bit samples (about 7 significant digits)\n"
    "                  (these three carry the status runs and the recording's notes as\n"
    "                  events, and cannot go to standard output)\n"
    "  --format summary\n"
    "                  one CSV table of every INPUT's desaturation, a row per channel:\n"
    "                  File,Channel,ValidMinutes,Baseline,Threshold,Episodes,\n"
    "                  MinutesBelow,PercentBelow,Area,Nadir,NadirTime,Mean,Min,Max\n"
    "                  (standard output unless --output; an undefined value is empty)\n"
    "  --threshold PCT StO2 below PCT percent (default 50)\n"
    "  --drop PCT      StO2 PCT percent below the baseline instead\n"
    "  --baseline-minutes M  the baseline over the first M minutes (default 5)\n"
    "  --min-episode S the shortest episode, seconds (default 15)\n"
    "  --merge-gap S   runs less than S seconds apart are one episode (default 10)\n"
    "  --output PATH   output file (one INPUT only); - is standard output.\n"
    "                  Default: the INPUT with its extension replaced by the format's\n"
    "                  (.csv, .jsonl, .snirf, .edf, .bdf)\n"
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
    DesaturationSettings analysis;
    bool threshold = false, drop = false; // given on the command line
    bool analysisOptions = false;         // any of the analysis options given
};

// A number of an option: all of the text, finite.
std::optional<double> OptionNumber(const std::string& text) {
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

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

// A committed file, or the reason it is not there (nothing is left behind then).
bool Commit(OutputFile& file, const std::string& input, const std::string& path, bool force) {
    if (file.Commit()) return true;
    if (!force && Exists(path))
        Say(input, path + " exists (use --force to overwrite)");
    else
        Say(input, "cannot write " + path + ": " + file.Error());
    return false;
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
    return Commit(file, input, path, force);
}

// SNIRF, EDF+ or BDF+, with the status runs and the notes of the recording's sidecar.
bool WriteExportFile(const RecordingStore& store, const std::string& input, const std::string& path,
                     ExportFormat format, bool force) {
    std::vector<Note> notes;
    const NotesRead read = ReadNotes(NotesPath(input), IdentityOf(store));
    if (read.status == NotesRead::Status::Ignored)
        Say(input, NotesPath(input) + " " + read.why + ": its notes are not exported");
    notes = read.notes;
    OutputFile file(path, force);
    if (!file.IsOpen()) {
        Say(input, "cannot create " + path + ": " + file.Error());
        return false;
    }
    std::string error;
    if (!WriteExport(store, RecordingEvents(store, notes), format, file, error)) {
        Say(input, "cannot write " + path + ": " + error);
        return false; // the file is dropped
    }
    return Commit(file, input, path, force);
}

std::string Extension(const std::string& format) {
    if (const std::optional<ExportFormat> f = ExportFormatNamed(format)) return ExportExtension(*f);
    return format == "jsonl" ? ".jsonl" : ".csv";
}

bool ConvertOne(RecordingStore& store, const std::string& input, const Options& opt) {
    const std::string output =
        opt.haveOutput ? opt.output : WithExtension(input, Extension(opt.format));
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
    if (const std::optional<ExportFormat> f = ExportFormatNamed(opt.format))
        return WriteExportFile(store, input, output, *f, opt.force);
    return WriteOutput(store, input, output, opt.format, opt.force);
}

// The summary: every input's rows in one table, written once all are read.
int Summarise(const Options& opt) {
    const std::string output = opt.haveOutput ? opt.output : "-";
    if (output != "-" && !opt.force && Exists(output)) {
        std::fprintf(stderr, "tesmora-convert: %s exists (use --force to overwrite)\n",
                     output.c_str());
        return 1;
    }
    RecordingStore store;
    std::string table = CsvLine(SummaryHeader());
    bool allRead = true;
    for (const std::string& input : opt.inputs) {
        const LoadOutcome outcome = LoadRecording(
            store, input,
            LoadObserver::Reporting([&](LoadMessage m) { Say(input, MessageText(m)); }));
        bool failed = !outcome.opened || outcome.error.has_value();
        if (!outcome.opened) Say(input, outcome.openError);
        if (outcome.error) Say(input, ErrorTextForDisplay(*outcome.error));
        for (LoadMessage m : outcome.messages)
            if (m != LoadMessage::StoreFull) failed = true; // already reported
        if (!failed && store.DataCount == 0) {
            Say(input, "No samples.");
            failed = true;
        }
        if (failed) {
            allRead = false;
            continue;
        }
        const std::array<DesaturationResult, 4> results = AnalyseDesaturation(store, opt.analysis);
        for (int c = 0; c < std::clamp(store.ChCount, 0, 4); ++c)
            table +=
                CsvLine(SummaryRow(input, c, results[static_cast<std::size_t>(c)], store.Rate));
    }
    if (output == "-") {
        ByteSink sink(STDOUT_FILENO);
        sink.Write(table);
        if (!sink.Flush()) {
            std::fprintf(stderr, "tesmora-convert: cannot write standard output: %s\n",
                         SystemErrorText(sink.Error()).c_str());
            return 1;
        }
        return allRead ? 0 : 1;
    }
    OutputFile file(output, opt.force);
    bool written = file.IsOpen();
    if (written) {
        ByteSink sink(file.Descriptor());
        sink.Write(table);
        written = sink.Flush() && file.Commit();
    }
    if (!written) {
        std::fprintf(stderr, "tesmora-convert: cannot write %s: %s\n", output.c_str(),
                     file.Error().c_str());
        return 1;
    }
    return allRead ? 0 : 1;
}

int Run(int argc, char** argv) {
    Options opt;
    auto number = [](const char* value, double& into) {
        const std::optional<double> v = OptionNumber(value);
        if (v) into = *v;
        return v.has_value();
    };
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
        } else if (arg == "--threshold" || arg == "--drop" || arg == "--baseline-minutes" ||
                   arg == "--min-episode" || arg == "--merge-gap") {
            if (i + 1 >= argc) return UsageError((arg + " needs a value").c_str());
            DesaturationSettings& a = opt.analysis;
            opt.analysisOptions = true;
            double& into = arg == "--threshold"          ? a.threshold
                           : arg == "--drop"             ? a.drop
                           : arg == "--baseline-minutes" ? a.baselineMinutes
                           : arg == "--min-episode"      ? a.minEpisode
                                                         : a.mergeGap;
            if (!number(argv[++i], into))
                return UsageError((arg + " needs a number, not " + argv[i]).c_str());
            if (arg == "--threshold") opt.threshold = true;
            if (arg == "--drop") {
                opt.drop = true;
                a.mode = DesaturationSettings::Mode::Relative;
            }
        } else if (arg.rfind("--format=", 0) == 0) {
            opt.format = arg.substr(9);
        } else if (arg.rfind("--output=", 0) == 0) {
            opt.output = arg.substr(9);
            opt.haveOutput = true;
        } else {
            return UsageError(("unknown option " + arg).c_str());
        }
    }
    const bool exportFormat = ExportFormatNamed(opt.format).has_value();
    if (opt.format != "jsonl" && opt.format != "csv" && opt.format != "summary" && !exportFormat)
        return UsageError(("unknown format " + opt.format).c_str());
    if (opt.inputs.empty()) return UsageError("no INPUT given");
    if (opt.haveOutput && opt.output.empty()) return UsageError("--output needs a path");
    if (opt.format == "summary") {
        if (opt.threshold && opt.drop)
            return UsageError("--threshold and --drop exclude each other");
        if (const std::optional<std::string> why = SettingsProblem(opt.analysis))
            return UsageError(why->c_str());
        return Summarise(opt);
    }
    if (opt.analysisOptions) return UsageError("the analysis options go with --format summary");
    if (opt.haveOutput && opt.inputs.size() > 1) return UsageError("--output takes one INPUT only");
    if (exportFormat && opt.haveOutput && opt.output == "-")
        return UsageError(("--format " + opt.format + " cannot go to standard output").c_str());

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
