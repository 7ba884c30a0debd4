// Whatever loads is exported to SNIRF in memory, with notes whose text comes from the input,
// and the image is opened again with the HDF5 library: the series have the recording's shape,
// hold its values where the status is 0 and NaN elsewhere, and every event is a stim row.

#include "export/snirf_writer.h"
#include "fuzz_common.h"

#include <bit>
#include <cmath>
#include <hdf5.h>
#include <string>
#include <vector>

namespace {

using namespace tesmora;

// One identifier of the read-back, closed on every path.
struct Id {
    hid_t id;
    herr_t (*close)(hid_t);
    ~Id() {
        if (id >= 0) close(id);
    }
};

std::vector<float> ReadFloats(hid_t file, const char* path, std::vector<hsize_t> dims) {
    Id set{H5Dopen2(file, path, H5P_DEFAULT), H5Dclose};
    if (set.id < 0) fuzz::Fail("a dataset is missing");
    Id space{H5Dget_space(set.id), H5Sclose};
    std::vector<hsize_t> got(dims.size());
    if (H5Sget_simple_extent_ndims(space.id) != static_cast<int>(dims.size()) ||
        H5Sget_simple_extent_dims(space.id, got.data(), nullptr) < 0 || got != dims)
        fuzz::Fail("a dataset has the wrong shape");
    std::size_t n = 1;
    for (hsize_t d : dims) n *= d;
    std::vector<float> values(n);
    if (H5Dread(set.id, H5T_NATIVE_FLOAT, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()) < 0)
        fuzz::Fail("a dataset does not read");
    return values;
}

bool Same(float a, float b) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RecordingStore* const loaded = fuzz::LoadForWriter(data, size);
    if (loaded == nullptr) return 0;
    RecordingStore& store = *loaded;

    // Two notes from the input's last bytes: any text, valid UTF-8 or not.
    const std::size_t tail = std::min<std::size_t>(size - 1, 24);
    const std::string text(reinterpret_cast<const char*>(data + size - tail), tail);
    const std::vector<Note> notes = {
        {0, store.DataCount - 1, text},
        {0, static_cast<std::int32_t>(size % store.DataCount), text.substr(0, tail / 2)}};
    const std::vector<ExportEvent> events = RecordingEvents(store, notes, 0, store.DataCount / 2);

    static std::vector<std::uint8_t> image;
    std::string error;
    if (!SnirfImage(store, events, image, error)) {
        // Only a store the format cannot take is refused.
        if (store.ChCount >= 1 && store.ChCount <= 4) fuzz::Fail("the export failed");
        return 0;
    }

    Id access{H5Pcreate(H5P_FILE_ACCESS), H5Pclose};
    if (H5Pset_fapl_core(access.id, 1 << 16, 0) < 0 ||
        H5Pset_file_image(access.id, image.data(), image.size()) < 0)
        fuzz::Fail("the image cannot be handed to HDF5");
    Id file{H5Fopen("image.snirf", H5F_ACC_RDONLY, access.id), H5Fclose};
    if (file.id < 0) fuzz::Fail("the image does not open");

    const hsize_t n = static_cast<hsize_t>(store.DataCount);
    const hsize_t ch = static_cast<hsize_t>(store.ChCount);
    const std::vector<float> d1 = ReadFloats(file.id, "/nirs/data1/dataTimeSeries", {n, 2 * ch});
    const std::vector<float> d2 = ReadFloats(file.id, "/nirs/data2/dataTimeSeries", {n, 2 * ch});
    for (hsize_t j = 0; j < n; ++j)
        for (hsize_t c = 0; c < ch; ++c) {
            const ChannelData& v = store.SampleBuff[j].Ch[c];
            const std::size_t at = j * 2 * ch + 2 * c;
            if (IsMeasured(v)) {
                if (!Same(d1[at], v.OXHb) || !Same(d1[at + 1], v.DXHb) || !Same(d2[at], v.TOHb) ||
                    !Same(d2[at + 1], v.StO2))
                    fuzz::Fail("a measured value is not the store's");
            } else if (!std::isnan(d1[at]) || !std::isnan(d1[at + 1]) || !std::isnan(d2[at]) ||
                       !std::isnan(d2[at + 1])) {
                fuzz::Fail("a sample that is no measurement has a value");
            }
        }
    const std::vector<float> time = ReadFloats(file.id, "/nirs/data2/time", {n == 1 ? 2 : n});
    if (n > 1 && !Same(time[n - 1], static_cast<float>(SampleSeconds(store, n - 1))))
        fuzz::Fail("the last time is wrong");

    // Every event is one row of the stim group of its label.
    std::size_t rows = 0;
    for (int g = 1;; ++g) {
        const std::string group = "/nirs/stim" + std::to_string(g);
        if (H5Lexists(file.id, group.c_str(), H5P_DEFAULT) <= 0) break;
        Id set{H5Dopen2(file.id, (group + "/data").c_str(), H5P_DEFAULT), H5Dclose};
        Id space{H5Dget_space(set.id), H5Sclose};
        hsize_t dims[2] = {0, 0};
        if (set.id < 0 || H5Sget_simple_extent_dims(space.id, dims, nullptr) != 2 || dims[1] != 3)
            fuzz::Fail("a stim group has no data of three columns");
        rows += dims[0];
    }
    if (rows != events.size()) fuzz::Fail("the stim rows are not the events");
    return 0;
}
