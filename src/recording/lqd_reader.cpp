#include "recording/lqd_reader.h"

#include "recording/datetime.h"
#include "recording/utf8.h"

#include <bit>
#include <cstring>

namespace tesmora {
namespace {

constexpr int kWs56Header = 80;
constexpr int kWs31Header = 32;
constexpr int kWs31Record = 16;
constexpr std::uint16_t kDeviceError = 0x0040;

std::uint32_t U32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

float F32(const std::uint8_t* p) {
    return std::bit_cast<float>(U32(p));
}

// Signed 32-bit arithmetic that wraps instead of overflowing, as the device's counters do.
std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

double HeaderDateTime(const std::uint8_t* p) {
    return DT(2000 + DecodeBCD(p[0]), DecodeBCD(p[1]), DecodeBCD(p[2]), DecodeBCD(p[3]),
              DecodeBCD(p[4]), DecodeBCD(p[5]), 0);
}

ReadResult ReadWs56(ByteSource& src, RecordingStore& store, double interval) {
    std::uint8_t h[kWs56Header];
    if (src.Read(h + 4, kWs56Header - 4) != kWs56Header - 4) return ReadResult::FormatError;
    store.StartTime = HeaderDateTime(h + 4);
    store.EndTime = HeaderDateTime(h + 10);
    store.DataCount = 0;
    store.SerialNo = "Pc56-" + DecodeTextField(h + 20, 12);
    store.PatientID = DecodeTextField(h + 32, 16);
    store.PatientName = DecodeTextField(h + 48, 32);
    store.Rate = 500;
    store.DataType = 4;
    store.ChCount = 3;

    SampleRecord* const buf = store.SampleBuff.get();
    ReadResult result = ReadResult::Success;
    std::int32_t i = 0;
    std::int32_t last = 0;
    std::uint8_t head[8];
    while (src.Read(head, 8) == 8) {
        if (i == SAMPLE_CAPACITY) {
            result = ReadResult::StoreFull;
            break;
        }
        const std::int32_t raw = static_cast<std::int32_t>(U32(head));
        std::int32_t seq =
            WrapAdd(static_cast<std::int32_t>(static_cast<std::uint32_t>(last) & 0xFFFF0000u), raw);
        if (seq < last) seq = WrapAdd(seq, 65536);
        if (i == 0) {
            buf[0].Time = 0;
        } else {
            while (WrapAdd(last, 1) < seq) {
                if (i == SAMPLE_CAPACITY) break;
                SampleRecord& filler = buf[i];
                const SampleRecord& prev = buf[i - 1];
                filler.Time = prev.Time + interval;
                filler.Batt = prev.Batt;
                std::memcpy(filler.Ch, prev.Ch, 3 * sizeof(ChannelData));
                last = WrapAdd(last, 1);
                filler.Seq = last;
                ++i;
            }
            if (i == SAMPLE_CAPACITY) {
                result = ReadResult::StoreFull;
                break;
            }
            buf[i].Time = buf[i - 1].Time + interval;
        }
        SampleRecord& rec = buf[i];
        rec.Seq = seq;
        last = seq;
        rec.Batt = F32(head + 4);

        bool failed = false;
        for (int c = 0; c < 3 && !failed; ++c) {
            std::uint8_t block[12];
            if (src.Read(block, 2) != 2) {
                failed = true;
                break;
            }
            ChannelData& ch = rec.Ch[c];
            ch.Status = U16(block);
            if (ch.Status & kDeviceError) {
                ch.OXHb = ch.DXHb = ch.TOHb = ch.StO2 = 0;
                if ((ch.Status & STS_CODE_MASK) == 0) ch.Status |= STS_NOCODE;
                continue;
            }
            if (src.Read(block, 12) != 12) {
                failed = true;
                break;
            }
            ch.OXHb = F32(block);
            ch.DXHb = F32(block + 4);
            ch.TOHb = ch.OXHb + ch.DXHb;
            ch.StO2 = F32(block + 8);
        }
        if (failed) {
            result = ReadResult::FormatError;
            break;
        }
        ++i;
    }
    store.DataCount = i;
    return result;
}

ReadResult ReadWs31(ByteSource& src, RecordingStore& store, double interval) {
    std::uint8_t h[kWs31Header];
    if (src.Read(h + 4, kWs31Header - 4) != kWs31Header - 4) return ReadResult::FormatError;
    const int Y = 2000 + DecodeBCD(h[4]);
    const int M = DecodeBCD(h[5]);
    const int D = DecodeBCD(h[6]);
    store.StartTime = DT(Y, M, D, DecodeBCD(h[7]), DecodeBCD(h[8]), DecodeBCD(h[9]), 0);
    store.EndTime = DT(Y, M, D, DecodeBCD(h[10]), DecodeBCD(h[11]), DecodeBCD(h[12]), 0);
    if (store.EndTime < store.StartTime) store.EndTime += 1;
    store.DataCount = 0;
    store.SerialNo = "MV31-" + DecodeTextField(h + 15, 13);
    store.PatientID.clear();
    store.PatientName.clear();
    store.Rate = 500;
    store.DataType = 1;
    store.ChCount = 1;

    // Records hold absolute times until the end, when they become elapsed times.
    SampleRecord* const buf = store.SampleBuff.get();
    const double headerStart = store.StartTime;
    ReadResult result = ReadResult::Success;
    std::int32_t i = 0;
    std::uint8_t r[kWs31Record];
    while (src.Read(r, kWs31Record) == kWs31Record) {
        if (i == SAMPLE_CAPACITY) {
            result = ReadResult::StoreFull;
            break;
        }
        if (U32(r) == 0xFFFFFFFFu) {
            buf[i].Time = i == 0 ? headerStart : buf[i - 1].Time + interval;
        } else {
            double t = DT(Y, M, D, DecodeBCD(r[2]), DecodeBCD(r[1]), DecodeBCD(r[0]), 0);
            if (t < headerStart) t += 1;
            if (i > 0) {
                const std::uint16_t fill = (r[3] & 0x80) ? STS_E : STS_P;
                while (t > buf[i - 1].Time + interval && i < SAMPLE_CAPACITY) {
                    ChannelData& ch = buf[i].Ch[0];
                    buf[i].Time = buf[i - 1].Time + interval;
                    ch.OXHb = ch.DXHb = ch.TOHb = ch.StO2 = 0;
                    ch.Status = fill;
                    buf[i].Seq = i;
                    ++i;
                }
                if (i == SAMPLE_CAPACITY) {
                    result = ReadResult::StoreFull;
                    break;
                }
            }
            buf[i].Time = t;
        }
        SampleRecord& rec = buf[i];
        ChannelData& ch = rec.Ch[0];
        rec.Seq = i;
        ch.Status = 0;
        ch.StO2 = F32(r + 4);
        ch.OXHb = F32(r + 8);
        ch.DXHb = F32(r + 12);
        ch.TOHb = ch.OXHb + ch.DXHb;
        ++i;
    }
    store.DataCount = i;
    if (i > 0) {
        store.StartTime = buf[0].Time;
        store.EndTime = buf[i - 1].Time;
        for (std::int32_t k = 0; k < i; ++k) buf[k].Time -= store.StartTime;
    }
    return result;
}

} // namespace

std::uint8_t DecodeBCD(std::uint8_t b) {
    if (b > 0x99) return 0;
    return static_cast<std::uint8_t>((b >> 4) * 10 + (b & 0x0F));
}

ReadResult ReadLQDfile(ByteSource& src, RecordingStore& store) {
    std::uint8_t magic[4];
    if (src.Read(magic, 4) != 4) return ReadResult::FormatError;
    const double interval = EncodeTime(0, 0, 0, 500);
    if (std::memcmp(magic, "WS56", 4) == 0) return ReadWs56(src, store, interval);
    if (std::memcmp(magic, "WS31", 4) == 0) return ReadWs31(src, store, interval);
    return ReadResult::FormatError;
}

} // namespace tesmora
