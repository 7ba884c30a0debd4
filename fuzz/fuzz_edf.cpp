// Whatever loads is written as EDF+ or BDF+ and read back with EDFlib: the signals and their
// sample counts as laid out, every valid value within half a quantisation step, every other
// sample at the digital minimum, and at least the events as annotations.

#include "export/edf_writer.h"
#include "export/events.h"
#include "fuzz_common.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <edflib.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace tesmora;

// The value a signal's sample should read back as, NaN for none.
double Expected(const RecordingStore& s, int signal, int perChannel, std::int32_t j) {
    const SampleRecord& r = s.SampleBuff[j];
    double v;
    if (signal == s.ChCount * perChannel) {
        v = r.Batt;
    } else {
        const ChannelData& ch = r.Ch[signal / perChannel];
        const int k = signal % perChannel;
        if (ch.Status != 0) return NAN;
        v = k == 4 ? ch.Temp : k == 3 ? double(ch.StO2) * 100 : ChannelValue(ch, k);
    }
    return std::isfinite(v) && std::fabs(v) <= 1e6 ? v : NAN;
}

bool Acceptable(const std::string& error) {
    // The inputs may start in any year, and flip a status on every sample.
    for (const char* known :
         {"EDF holds start dates", "the start time cannot be written", "too many annotations"})
        if (error.rfind(known, 0) == 0) return true;
    return false;
}

std::string Target() {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/fuzz_edf_" + std::to_string(getpid()) + ".edf";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RecordingStore* const loaded = fuzz::LoadForWriter(data, size);
    if (loaded == nullptr) return 0;
    RecordingStore& store = *loaded;
    const EdfKind kind = data[0] & 2 ? EdfKind::Bdf : EdfKind::Edf; // the first byte's next bit
    const std::int32_t n = store.DataCount;

    // A note whose text is the input's last bytes, anything at all.
    const std::size_t tail = std::min<std::size_t>(size - 1, 60);
    const std::vector<Note> notes = {
        Note{0, static_cast<std::int32_t>(data[size - 1] % n),
             std::string(reinterpret_cast<const char*>(data + size - tail), tail)}};
    const std::vector<ExportEvent> events = RecordingEvents(store, notes, 0, n - 1);

    static const std::string target = Target();
    OutputFile out(target, true);
    if (!out.IsOpen()) fuzz::Fail("no output file");
    std::string error;
    if (!WriteEdf(store, events, kind, out, error)) {
        if (error.empty()) fuzz::Fail("a failed export without a reason");
        if (!Acceptable(error)) fuzz::Fail(error.c_str());
        out.Discard();
        return 0;
    }

    static edf_hdr_struct* hdr = new edf_hdr_struct;
    const int h =
        edfopen_file_readonly(out.TemporaryPath().c_str(), hdr, EDFLIB_READ_ALL_ANNOTATIONS);
    if (h < 0) fuzz::Fail("EDFlib cannot read the file written");
    const int perChannel = store.DataType == 3 ? 5 : 4;
    const int signals = store.ChCount * perChannel + (store.DataType == 4 ? 1 : 0);
    if (hdr->edfsignals != signals) fuzz::Fail("another number of signals");
    if (hdr->annotations_in_file < static_cast<long long>(events.size()))
        fuzz::Fail("annotations lost");
    static std::vector<int> digital;
    static std::vector<double> physical;
    for (int i = 0; i < signals; ++i) {
        const edf_param_struct& p = hdr->signalparam[i];
        const int spr = p.smp_in_datarecord;
        const long long count = (static_cast<long long>(n) + spr - 1) / spr * spr;
        if (p.smp_in_file != count) fuzz::Fail("another number of samples");
        digital.resize(count);
        physical.resize(count);
        if (edfread_digital_samples(h, i, static_cast<int>(count), digital.data()) != count)
            fuzz::Fail("digital samples do not read back");
        edfseek(h, i, 0, EDFSEEK_SET);
        if (edfread_physical_samples(h, i, static_cast<int>(count), physical.data()) != count)
            fuzz::Fail("physical samples do not read back");
        const double step = (p.phys_max - p.phys_min) / (p.dig_max - p.dig_min);
        if (!(step > 0)) fuzz::Fail("an empty physical range");
        // Half a step, and the rounding of the reader's own arithmetic, which rebuilds a value
        // from the range's bounds: a few units in their last place. (A value on the middle of
        // two steps is rounded to one of them: half a step, exactly, away.)
        const double tolerance =
            step / 2 + 16 * DBL_EPSILON * std::max(std::fabs(p.phys_min), std::fabs(p.phys_max));
        for (long long j = 0; j < count; ++j) {
            const double v =
                j < n ? Expected(store, i, perChannel, static_cast<std::int32_t>(j)) : NAN;
            if (std::isnan(v)) {
                if (digital[j] != p.dig_min)
                    fuzz::Fail("a sample without value not at the minimum");
            } else if (digital[j] == p.dig_min || std::fabs(physical[j] - v) > tolerance) {
                char why[256];
                std::snprintf(why, sizeof why,
                              "a value not within half a step: signal %d, sample %lld, %.17g "
                              "read as %.17g (digital %d; range %.17g..%.17g)",
                              i, j, v, physical[j], digital[j], p.phys_min, p.phys_max);
                fuzz::Fail(why);
            }
        }
    }
    edfclose_file(h);
    out.Discard();
    return 0;
}
