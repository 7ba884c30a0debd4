#include "export/snirf_writer.h"

#include "recording/datetime.h"
#include "recording/system_error.h"
#include "recording/utf8.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <hdf5.h>
#include <limits>
#include <new>
#include <type_traits>
#include <unordered_map>
#include <utility>

namespace tesmora {
namespace {

// Layout of the file, beyond what the format fixes:
// - data1 holds HbO and HbR of every channel, data2 HbT and StO2 (StO2 as the fraction of 1
//   the store holds). MNE-Python 1.3 turns every label of data1 into a channel type of its own
//   and refuses any but HbO and HbR, so the other two quantities live in a block of their own.
// - The device reports neither optode positions nor wavelengths: each channel gets one source
//   and one detector at nominal positions, and the probe lists two nominal wavelengths (the
//   format allows none for processed data, MNE-Python 1.3 insists on exactly two).
// - A one-sample recording gets the time as start and spacing: with a single time point no
//   reader can tell the sampling rate.
constexpr double kNominalWavelengths[2] = {760.0, 850.0};
constexpr double kSourceSpacingMm = 50.0;  // between the nominal probes of two channels
constexpr double kDetectorOffsetMm = 40.0; // from a probe's source to its detector
constexpr int kProcessed = 99999;
constexpr hsize_t kBlockValues = 1 << 16; // values per write of a long series

constexpr const char* kProbeNote =
    "nominal: the device records no optode positions and no wavelengths; each channel has one "
    "source and one detector 40 mm apart, channels 50 mm apart, and the wavelengths are "
    "placeholders";
constexpr const char* kDataNote =
    "data1: HbO and HbR, data2: HbT and StO2 (fraction of 1) of every channel, in device units; "
    "samples whose status is not 0 are NaN; status runs, replaced rows and notes are stim groups";

struct BuildFailed {}; // an HDF5 call failed; the handles close as the stack unwinds

hid_t Made(hid_t id) {
    if (id < 0) throw BuildFailed{};
    return id;
}

void Done(herr_t status) {
    if (status < 0) throw BuildFailed{};
}

// One HDF5 identifier, closed by its kind's close function however the build ends.
class Handle {
public:
    using Closer = herr_t (*)(hid_t);
    Handle(hid_t id, Closer close) : id_(Made(id)), close_(close) {}
    ~Handle() {
        if (id_ >= 0) close_(id_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    hid_t get() const { return id_; }
    // Closes now, reporting the failure (a file's close writes it out).
    void Close() { Done(close_(std::exchange(id_, H5I_INVALID_HID))); }

private:
    hid_t id_;
    Closer close_;
};

// HDF5 stamps every object with the clock time it was made, so that two exports of one
// recording would differ: while a file is built, its datasets and groups are made with these
// creation properties, which leave the stamps out.
thread_local hid_t t_datasetCreation = H5P_DEFAULT;
thread_local hid_t t_groupCreation = H5P_DEFAULT;

class UntimedObjects {
public:
    UntimedObjects()
        : dataset_(H5Pcreate(H5P_DATASET_CREATE), H5Pclose),
          group_(H5Pcreate(H5P_GROUP_CREATE), H5Pclose) {
        Done(H5Pset_obj_track_times(dataset_.get(), false));
        Done(H5Pset_obj_track_times(group_.get(), false));
        t_datasetCreation = dataset_.get();
        t_groupCreation = group_.get();
    }
    ~UntimedObjects() {
        t_datasetCreation = H5P_DEFAULT;
        t_groupCreation = H5P_DEFAULT;
    }
    UntimedObjects(const UntimedObjects&) = delete;
    UntimedObjects& operator=(const UntimedObjects&) = delete;

private:
    Handle dataset_, group_;
};

// The datasets and groups of one file. Strings are variable-length UTF-8, integers 32-bit,
// numbers 64-bit IEEE, all little-endian, contiguous, uncompressed.
class Builder {
public:
    Builder()
        : text_(H5Tcopy(H5T_C_S1), H5Tclose), transfer_(H5Pcreate(H5P_DATASET_XFER), H5Pclose) {
        Done(H5Tset_size(text_.get(), H5T_VARIABLE));
        Done(H5Tset_cset(text_.get(), H5T_CSET_UTF8));
        Done(H5Tset_strpad(text_.get(), H5T_STR_NULLTERM));
        // A string is converted on its way into the file, through a buffer that by default is
        // 1 MB, cleared for every write: dozens of strings made that most of a small export.
        Done(H5Pset_buffer(transfer_.get(), 1 << 12, nullptr, nullptr));
    }

    static Handle Group(hid_t parent, const std::string& name) {
        return {H5Gcreate2(parent, name.c_str(), H5P_DEFAULT, t_groupCreation, H5P_DEFAULT),
                H5Gclose};
    }

    void String(hid_t parent, const char* name, const std::string& value) const {
        // Anything not valid UTF-8 (a patient field, a note) becomes U+FFFD: the type
        // promises UTF-8 and readers decode it as such.
        const std::string text =
            DecodeUtf8Lossy(reinterpret_cast<const std::uint8_t*>(value.data()), value.size());
        Handle space(H5Screate(H5S_SCALAR), H5Sclose);
        Handle set(H5Dcreate2(parent, name, text_.get(), space.get(), H5P_DEFAULT,
                              t_datasetCreation, H5P_DEFAULT),
                   H5Dclose);
        const char* p = text.c_str();
        Done(H5Dwrite(set.get(), text_.get(), H5S_ALL, H5S_ALL, transfer_.get(), &p));
    }

    static void Integer(hid_t parent, const char* name, int value) {
        Handle space(H5Screate(H5S_SCALAR), H5Sclose);
        Handle set(H5Dcreate2(parent, name, H5T_STD_I32LE, space.get(), H5P_DEFAULT,
                              t_datasetCreation, H5P_DEFAULT),
                   H5Dclose);
        Done(H5Dwrite(set.get(), H5T_NATIVE_INT, H5S_ALL, H5S_ALL, H5P_DEFAULT, &value));
    }

    // A numeric array of `rows` rows of `cols` values (cols 0: a 1-D array of `rows`), filled
    // block by block: fill(firstRow, rowCount, out) writes rowCount rows into out. T is float
    // (32-bit in the file) or double (64-bit).
    template <typename T, typename Fill>
    static void Numbers(hid_t parent, const char* name, hsize_t rows, hsize_t cols, Fill fill) {
        static_assert(std::is_same_v<T, float> || std::is_same_v<T, double>);
        constexpr bool wide = std::is_same_v<T, double>;
        const hid_t fileType = wide ? H5T_IEEE_F64LE : H5T_IEEE_F32LE;
        const hid_t memoryType = wide ? H5T_NATIVE_DOUBLE : H5T_NATIVE_FLOAT;
        const int rank = cols == 0 ? 1 : 2;
        const hsize_t width = cols == 0 ? 1 : cols;
        const hsize_t dims[2] = {rows, width};
        Handle space(H5Screate_simple(rank, dims, nullptr), H5Sclose);
        Handle set(H5Dcreate2(parent, name, fileType, space.get(), H5P_DEFAULT, t_datasetCreation,
                              H5P_DEFAULT),
                   H5Dclose);
        if (rows == 0) return;
        const hsize_t block = std::max<hsize_t>(1, kBlockValues / width);
        std::vector<T> values(static_cast<std::size_t>(std::min(rows, block) * width));
        for (hsize_t first = 0; first < rows; first += block) {
            const hsize_t n = std::min(block, rows - first);
            fill(first, n, values.data());
            const hsize_t start[2] = {first, 0}, count[2] = {n, width};
            Done(H5Sselect_hyperslab(space.get(), H5S_SELECT_SET, start, nullptr, count, nullptr));
            Handle memory(H5Screate_simple(rank, count, nullptr), H5Sclose);
            Done(H5Dwrite(set.get(), memoryType, memory.get(), space.get(), H5P_DEFAULT,
                          values.data()));
        }
    }

    // A small numeric array given in full.
    static void Numbers(hid_t parent, const char* name, const std::vector<double>& values,
                        hsize_t rows, hsize_t cols) {
        Numbers<double>(parent, name, rows, cols, [&](hsize_t first, hsize_t n, double* out) {
            const hsize_t width = cols == 0 ? 1 : cols;
            std::copy_n(values.begin() + static_cast<std::ptrdiff_t>(first * width), n * width,
                        out);
        });
    }

private:
    Handle text_;
    Handle transfer_;
};

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// "YYYY-MM-DD" and "hh:mm:ss" (with ".mmm" when the start has milliseconds), or "unknown" for
// both when the start is no date. The device clock keeps local time and says nothing of its
// zone, so the time carries no zone designator (readers take it as it stands).
std::pair<std::string, std::string> MeasurementDateTime(double start) {
    try {
        const DateTimeParts p = DecodeDateTime(start);
        char date[16], time[24];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", p.year, p.month, p.day);
        if (p.ms == 0)
            std::snprintf(time, sizeof time, "%02d:%02d:%02d", p.hour, p.minute, p.second);
        else
            std::snprintf(time, sizeof time, "%02d:%02d:%02d.%03d", p.hour, p.minute, p.second,
                          p.ms);
        return {date, time};
    } catch (const std::exception&) {
        return {"unknown", "unknown"};
    }
}

class SnirfBuild {
public:
    SnirfBuild(const RecordingStore& store, const std::vector<ExportEvent>& events, hid_t nirs)
        : store_(store), events_(events), nirs_(nirs), rows_(static_cast<hsize_t>(store.DataCount)),
          channels_(std::clamp(store.ChCount, 1, 4)) {}

    void Run() {
        MetaData();
        // data1: HbO, HbR; data2: HbT, StO2 (value k of ChannelValue).
        Block("data1", {{0, "HbO"}, {1, "HbR"}});
        Block("data2", {{2, "HbT"}, {3, "StO2"}});
        Stims();
        Probe();
        Auxiliaries();
    }

private:
    const SampleRecord& Record(hsize_t j) const {
        return store_.SampleBuff[static_cast<std::size_t>(j)];
    }

    // The time of every series: written once, in data1, and linked into the other groups
    // (a hard link: the same dataset under each name).
    void Time(hid_t parent) {
        if (timeWritten_) {
            Done(H5Lcreate_hard(nirs_, "data1/time", parent, "time", H5P_DEFAULT, H5P_DEFAULT));
            return;
        }
        timeWritten_ = true;
        if (rows_ == 1) {
            Builder::Numbers(parent, "time", {0.0, SampleSeconds(store_, 1)}, 2, 0);
            return;
        }
        Builder::Numbers<double>(
            parent, "time", rows_, 0, [&](hsize_t first, hsize_t n, double* out) {
                for (hsize_t j = 0; j < n; ++j)
                    out[j] = SampleSeconds(store_, static_cast<std::int64_t>(first + j));
            });
    }

    void MetaData() const {
        Handle tags = Builder::Group(nirs_, "metaDataTags");
        const auto [date, time] = MeasurementDateTime(store_.StartTime);
        builder_.String(tags.get(), "SubjectID",
                        store_.PatientID.empty() ? std::string("unknown") : store_.PatientID);
        builder_.String(tags.get(), "MeasurementDate", date);
        builder_.String(tags.get(), "MeasurementTime", time);
        builder_.String(tags.get(), "LengthUnit", "mm");
        builder_.String(tags.get(), "TimeUnit", "s");
        builder_.String(tags.get(), "FrequencyUnit", "Hz");
        if (!store_.PatientName.empty())
            builder_.String(tags.get(), "SubjectName", store_.PatientName);
        builder_.String(tags.get(), "Model", ModelTag(store_));
        builder_.String(tags.get(), "SerialNumber", store_.SerialNo);
        builder_.String(tags.get(), "ProbeGeometry", kProbeNote);
        builder_.String(tags.get(), "DataLayout", kDataNote);
    }

    struct Quantity {
        int value; // index for ChannelValue
        const char* label;
    };

    // One data block: per channel the given quantities, a column and a measurementList each.
    void Block(const char* name, const std::vector<Quantity>& quantities) {
        Handle block = Builder::Group(nirs_, name);
        const hsize_t perChannel = quantities.size();
        const hsize_t cols = perChannel * static_cast<hsize_t>(channels_);
        Builder::Numbers<float>(
            block.get(), "dataTimeSeries", rows_, cols, [&](hsize_t first, hsize_t n, float* out) {
                for (hsize_t j = 0; j < n; ++j) {
                    const SampleRecord& r = Record(first + j);
                    for (int c = 0; c < channels_; ++c) {
                        const ChannelData& ch = r.Ch[c];
                        const bool measured = IsMeasured(ch);
                        for (const Quantity& q : quantities)
                            *out++ = measured ? ChannelValue(ch, q.value) : kNaN;
                    }
                }
            });
        Time(block.get());
        int k = 0;
        for (int c = 0; c < channels_; ++c)
            for (const Quantity& q : quantities) {
                Handle list = Builder::Group(block.get(), "measurementList" + std::to_string(++k));
                Builder::Integer(list.get(), "sourceIndex", c + 1);
                Builder::Integer(list.get(), "detectorIndex", c + 1);
                Builder::Integer(list.get(), "wavelengthIndex", 1);
                Builder::Integer(list.get(), "dataType", kProcessed);
                builder_.String(list.get(), "dataTypeLabel", q.label);
                Builder::Integer(list.get(), "dataTypeIndex", 1);
            }
    }

    // One stim group per distinct label, in the order the labels first occur; a row per event.
    void Stims() const {
        std::vector<std::string> labels;
        std::vector<std::vector<double>> rows;
        for (const ExportEvent& e : events_) {
            const auto at = std::find(labels.begin(), labels.end(), e.label);
            std::vector<double>* data;
            if (at == labels.end()) {
                labels.push_back(e.label);
                data = &rows.emplace_back();
            } else {
                data = &rows[static_cast<std::size_t>(at - labels.begin())];
            }
            const std::int64_t samples = std::int64_t{e.last} - e.first + 1;
            data->insert(data->end(), {SampleSeconds(store_, e.first),
                                       static_cast<double>(samples * store_.Rate) / 1000.0, 1.0});
        }
        for (std::size_t g = 0; g < labels.size(); ++g) {
            Handle stim = Builder::Group(nirs_, "stim" + std::to_string(g + 1));
            builder_.String(stim.get(), "name", labels[g]);
            Builder::Numbers(stim.get(), "data", rows[g], rows[g].size() / 3, 3);
        }
    }

    void Probe() const {
        Handle probe = Builder::Group(nirs_, "probe");
        Builder::Numbers(probe.get(), "wavelengths",
                         {kNominalWavelengths[0], kNominalWavelengths[1]}, 2, 0);
        std::vector<double> sources, detectors;
        for (int c = 0; c < channels_; ++c) {
            sources.insert(sources.end(), {c * kSourceSpacingMm, 0.0, 0.0});
            detectors.insert(detectors.end(), {c * kSourceSpacingMm, kDetectorOffsetMm, 0.0});
        }
        const auto n = static_cast<hsize_t>(channels_);
        Builder::Numbers(probe.get(), "sourcePos3D", sources, n, 3);
        Builder::Numbers(probe.get(), "detectorPos3D", detectors, n, 3);
    }

    // Battery voltage (three-channel device) and probe temperature per channel (Pc48).
    void Auxiliaries() {
        int k = 0;
        if (store_.DataType == 4) {
            // A replaced row repeats the row before it: its voltage is no reading either.
            Aux(++k, "Batt", "V", [&](const SampleRecord& r) {
                return (r.Ch[0].Status & STS_FILLED) != 0 ? kNaN : r.Batt;
            });
        }
        if (store_.DataType == 3)
            for (int c = 0; c < channels_; ++c)
                Aux(++k, "CH" + std::to_string(c + 1) + " Temp", "degC",
                    [c](const SampleRecord& r) {
                        return IsMeasured(r.Ch[c]) ? r.Ch[c].Temp : kNaN;
                    });
    }

    template <typename Value>
    void Aux(int index, const std::string& name, const char* unit, Value value) {
        Handle aux = Builder::Group(nirs_, "aux" + std::to_string(index));
        builder_.String(aux.get(), "name", name);
        builder_.String(aux.get(), "dataUnit", unit);
        Builder::Numbers<float>(aux.get(), "dataTimeSeries", rows_, 1,
                                [&](hsize_t first, hsize_t n, float* out) {
                                    for (hsize_t j = 0; j < n; ++j)
                                        out[j] = value(Record(first + j));
                                });
        Time(aux.get());
    }

    const RecordingStore& store_;
    const std::vector<ExportEvent>& events_;
    hid_t nirs_;
    hsize_t rows_;
    int channels_;
    Builder builder_;
    bool timeWritten_ = false;
};

// Bytes the image will take. The in-memory file grows in steps of this size and clears each
// step as it takes it, so a tight figure saves touching memory it never uses.
std::size_t EstimatedSize(const RecordingStore& store, std::size_t events) {
    const std::size_t n = static_cast<std::size_t>(store.DataCount);
    const std::size_t ch = static_cast<std::size_t>(store.ChCount);
    const std::size_t aux = store.DataType == 4 ? 1 : store.DataType == 3 ? ch : 0;
    const std::size_t series = n * ((4 * ch + aux) * sizeof(float) + sizeof(double));
    // Groups, attributes and small datasets: a few KB for each group.
    const std::size_t small = (16 + 8 * ch + aux + events) * 4096;
    return series + series / 64 + small + events * 3 * sizeof(double);
}

// The in-memory file's buffer, allocated through these callbacks so that it outlives the file:
// when HDF5 lets go of it at the close, it is kept here and written out as it stands, with no
// copy of tens of megabytes. HDF5 leaves gaps in a file that it never writes: the buffer is
// zeroed, so that they hold nothing of the program's memory and the same recording always
// gives the same bytes.
class ImageMemory {
public:
    ImageMemory()
        : callbacks_{Malloc,
                     Memcpy,
                     Realloc,
                     Free,
                     [](void* u) { return u; },
                     [](void*) -> herr_t { return 0; },
                     this} {}
    ~ImageMemory() { std::free(kept_); }
    ImageMemory(const ImageMemory&) = delete;
    ImageMemory& operator=(const ImageMemory&) = delete;

    H5FD_file_image_callbacks_t* Callbacks() { return &callbacks_; }
    const std::uint8_t* Kept() const { return static_cast<const std::uint8_t*>(kept_); }

private:
    static void* Malloc(std::size_t n, H5FD_file_image_op_t, void* udata) {
        void* p = std::calloc(n, 1);
        if (p != nullptr) static_cast<ImageMemory*>(udata)->sizes_[p] = n;
        return p;
    }
    static void* Memcpy(void* to, const void* from, std::size_t n, H5FD_file_image_op_t, void*) {
        return std::memcpy(to, from, n);
    }
    static void* Realloc(void* p, std::size_t n, H5FD_file_image_op_t, void* udata) {
        auto& sizes = static_cast<ImageMemory*>(udata)->sizes_;
        std::size_t old = 0;
        if (const auto at = sizes.find(p); at != sizes.end()) {
            old = at->second;
            sizes.erase(at);
        }
        void* q = std::realloc(p, n);
        if (q == nullptr) {
            if (p != nullptr) sizes[p] = old; // still allocated as it was
            return nullptr;
        }
        if (n > old) std::memset(static_cast<char*>(q) + old, 0, n - old);
        sizes[q] = n;
        return q;
    }
    static herr_t Free(void* p, H5FD_file_image_op_t op, void* udata) {
        auto* self = static_cast<ImageMemory*>(udata);
        self->sizes_.erase(p);
        if (op == H5FD_FILE_IMAGE_OP_FILE_CLOSE && self->kept_ == nullptr)
            self->kept_ = p;
        else
            std::free(p);
        return 0;
    }

    H5FD_file_image_callbacks_t callbacks_;
    void* kept_ = nullptr;
    std::unordered_map<void*, std::size_t> sizes_; // the buffers HDF5 holds, and their sizes
};

// Builds the file in memory and hands its bytes to `use`; false, with the reason, when HDF5
// could not build it.
template <typename Use>
bool BuildImage(const RecordingStore& store, const std::vector<ExportEvent>& events,
                std::string& error, Use use) {
    if (store.DataCount <= 0 || store.SampleBuff == nullptr) {
        error = "the recording has no samples";
        return false;
    }
    if (store.ChCount < 1 || store.ChCount > 4) {
        error = "the recording has no valid channel count";
        return false;
    }
    // The library's own report on stderr would only repeat what the result says.
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    try {
        ImageMemory memory; // outlives the file, which frees into it at the close
        ssize_t size = 0;
        {
            Handle access(H5Pcreate(H5P_FILE_ACCESS), H5Pclose);
            // In memory, never backed by a file: the image goes through the caller's file.
            Done(H5Pset_fapl_core(access.get(), EstimatedSize(store, events.size()), 0));
            Done(H5Pset_file_image_callbacks(access.get(), memory.Callbacks()));
            Handle creation(H5Pcreate(H5P_FILE_CREATE), H5Pclose); // the root group, untimed
            Done(H5Pset_obj_track_times(creation.get(), false));
            Handle file(H5Fcreate("recording.snirf", H5F_ACC_TRUNC, creation.get(), access.get()),
                        H5Fclose);
            const UntimedObjects untimed;
            Builder().String(file.get(), "formatVersion", "1.1");
            {
                Handle nirs = Builder::Group(file.get(), "nirs");
                SnirfBuild(store, events, nirs.get()).Run();
            }
            Done(H5Fflush(file.get(), H5F_SCOPE_LOCAL));
            // The end of the file's allocated space: what an image of it holds.
            size = H5Fget_file_image(file.get(), nullptr, 0);
            if (size <= 0) throw BuildFailed{};
            file.Close();
        }
        if (memory.Kept() == nullptr) throw BuildFailed{};
        return use(memory.Kept(), static_cast<std::size_t>(size));
    } catch (const BuildFailed&) {
        error = "HDF5 could not build the file";
    } catch (const std::bad_alloc&) {
        error = "there was not enough memory to build the file";
    }
    return false;
}

} // namespace

bool SnirfImage(const RecordingStore& store, const std::vector<ExportEvent>& events,
                std::vector<std::uint8_t>& image, std::string& error) {
    image.clear();
    const bool built =
        BuildImage(store, events, error, [&](const std::uint8_t* bytes, std::size_t n) {
            image.assign(bytes, bytes + n);
            return true;
        });
    if (!built) image.clear();
    return built;
}

bool WriteSnirf(const RecordingStore& store, const std::vector<ExportEvent>& events,
                OutputFile& out, std::string& error) {
    if (!out.IsOpen()) {
        error = "the output file is not open";
        return false;
    }
    return BuildImage(store, events, error, [&](const std::uint8_t* bytes, std::size_t n) {
        ByteSink sink(out.Descriptor());
        sink.Write(bytes, n);
        if (sink.Flush()) return true;
        error = SystemErrorText(sink.Error());
        return false;
    });
}

} // namespace tesmora
