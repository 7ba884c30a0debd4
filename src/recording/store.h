#pragma once
// The one recording in memory: header fields and the fixed-capacity array of samples.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace tesmora {

/// Status word bits of one channel of one sample.
inline constexpr std::uint16_t STS_CODE_MASK = 0x000F; // device error code, 0 = none
inline constexpr std::uint16_t STS_E = 0x0040;         // error sample
inline constexpr std::uint16_t STS_P = 0x2000;         // "P" sample (probe off, pause)
inline constexpr std::uint16_t STS_NOCODE = 0x4000;    // error without error code
inline constexpr std::uint16_t STS_FILLED = 0x8000;    // replacement for a row that did not parse

/// Room for 48 hours at the shortest sample interval (500 ms).
inline constexpr std::int32_t SAMPLE_CAPACITY = 345600;

/// One channel of one sample.
struct ChannelData {
    float Temp;           // probe temperature, degrees Celsius (DataType 3 only)
    std::uint16_t Status; // STS_* bits; 0 = valid sample
    float OXHb;
    float DXHb;
    float TOHb;
    float StO2; // fraction of 1
};
// The moving average and the painter take the four values of a channel as one vector.
static_assert(offsetof(ChannelData, DXHb) == offsetof(ChannelData, OXHb) + sizeof(float) &&
                  offsetof(ChannelData, TOHb) == offsetof(ChannelData, OXHb) + 2 * sizeof(float) &&
                  offsetof(ChannelData, StO2) == offsetof(ChannelData, OXHb) + 3 * sizeof(float),
              "the four values of a channel lie side by side");

/// Value k of a channel: 0 OXHb, 1 DXHb, 2 TOHb, 3 StO2.
inline float& ChannelValue(ChannelData& ch, int k) {
    return k == 0 ? ch.OXHb : k == 1 ? ch.DXHb : k == 2 ? ch.TOHb : ch.StO2;
}
inline float ChannelValue(const ChannelData& ch, int k) {
    return k == 0 ? ch.OXHb : k == 1 ? ch.DXHb : k == 2 ? ch.TOHb : ch.StO2;
}

/// One time step of the recording.
struct SampleRecord {
    double Time;        // days elapsed since StartTime
    std::int32_t Seq;   // sequence number
    float Batt;         // battery voltage (DataType 4 only)
    ChannelData Ch[4];  // measured values, channels 1 to 4
    ChannelData Ave[4]; // moving-averaged copy of Ch (value fields only)
};

/// The recording store. Allocated once, never grows or moves; records are copied by value.
struct RecordingStore {
    /// capacity: the records it holds; smaller stores serve tests and fuzzing.
    explicit RecordingStore(std::int32_t capacity = SAMPLE_CAPACITY);
    RecordingStore(const RecordingStore&) = delete;
    RecordingStore& operator=(const RecordingStore&) = delete;

    std::int32_t DataCount = 0; // valid records 0..DataCount-1; 0 = nothing loaded
    std::int32_t ChCount = 1;
    std::int32_t DataType = 0; // 0 nothing, 1 MV31, 3 Pc48, 4 Pc56
    std::string SerialNo;      // UTF-8, as are the patient fields
    std::int32_t Rate = 0;     // sample interval, milliseconds
    std::string PatientID;
    std::string PatientName;
    double StartTime = 0; // absolute date-time of the first sample
    double EndTime = 0;

    struct PagesDeleter {
        std::size_t bytes;
        void operator()(SampleRecord* p) const noexcept;
    };
    // Zeroed pages of their own: the memory of records never written is never touched.
    const std::unique_ptr<SampleRecord[], PagesDeleter> SampleBuff;
    SampleRecord RowBuff{};

    std::int32_t Capacity() const noexcept { return capacity_; }
    bool Full() const noexcept { return DataCount >= capacity_; }

    /// The one way a record enters the store: the record after the last, now counted in
    /// DataCount, or nullptr when the store is full. It keeps what it held, so a reader writes
    /// the fields its kind carries and leaves the others as they were.
    SampleRecord* Append() noexcept {
        if (DataCount < 0 || DataCount >= capacity_) return nullptr;
        return &SampleBuff[DataCount++];
    }
    /// Appends a copy of the last record (there must be one) with Seq set to its index, or
    /// returns nullptr when the store is full.
    SampleRecord* AppendCopyOfLast() noexcept {
        if (DataCount <= 0) return nullptr;
        SampleRecord* r = Append();
        if (r != nullptr) {
            *r = r[-1];
            r->Seq = DataCount - 1;
        }
        return r;
    }

private:
    std::int32_t capacity_;
};

} // namespace tesmora
