#pragma once
// The one recording in memory: header fields and the fixed-capacity array of samples.

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
    RecordingStore();
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

    struct FreeDeleter {
        void operator()(SampleRecord* p) const noexcept { std::free(p); }
    };
    // Zeroed pages from calloc: the memory of records never written is never touched.
    const std::unique_ptr<SampleRecord[], FreeDeleter> SampleBuff;
    SampleRecord RowBuff{};
};

} // namespace tesmora
