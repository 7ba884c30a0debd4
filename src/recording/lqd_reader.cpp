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

void ReadWs56Header(const std::uint8_t* h, RecordingStore& store) {
    store.StartTime = HeaderDateTime(h + 4);
    store.EndTime = HeaderDateTime(h + 10);
    store.DataCount = 0;
    store.SerialNo = "Pc56-" + DecodeTextField(h + 20, 12);
    store.PatientID = DecodeTextField(h + 32, 16);
    store.PatientName = DecodeTextField(h + 48, 32);
    store.Rate = 500;
    store.DataType = 4;
    store.ChCount = 3;
}

// The device counts its records from 0 to 65,535 and then starts again at 0; the file holds
// the count in 32 bits. The extended counter keeps the high half of the last one and adds the
// raw count to it, and a result below the last one means that the device wrapped: one more
// 65,536. The raw count is added whole, not only its low half, so a crafted count above
// 65,535 moves the extended one by that much; and since the comparison is on signed values,
// an extended counter that wraps past 2^31 counts as having gone backwards and gains 65,536.
// The arithmetic wraps as the device's own does: a crafted file may take it anywhere.
std::int32_t ExtendCounter(std::int32_t last, std::uint32_t raw) {
    const auto highHalf = static_cast<std::int32_t>(static_cast<std::uint32_t>(last) & 0xFFFF0000u);
    std::int32_t seq = WrapAdd(highHalf, static_cast<std::int32_t>(raw));
    if (seq < last) seq = WrapAdd(seq, 65536);
    return seq;
}

// Copies of the record before for every counter value the device skipped between last and
// seq: time one interval on, battery and the three channels as they were, Seq the skipped
// value. False when the store filled up first.
bool AppendWs56Fillers(RecordingStore& store, std::int32_t& last, std::int32_t seq,
                       double interval) {
    while (WrapAdd(last, 1) < seq) {
        SampleRecord* const filler = store.Append();
        if (filler == nullptr) return false;
        const SampleRecord& prev = filler[-1];
        filler->Time = prev.Time + interval;
        filler->Batt = prev.Batt;
        std::memcpy(filler->Ch, prev.Ch, 3 * sizeof(ChannelData));
        last = WrapAdd(last, 1);
        filler->Seq = last;
    }
    return true;
}

// The three channel blocks of a record: a status word, then the values unless the device
// marked the channel as failed. False when the file ends inside a block.
bool ReadWs56Channels(ByteSource& src, SampleRecord& rec) {
    for (int c = 0; c < 3; ++c) {
        std::uint8_t block[12];
        if (src.Read(block, 2) != 2) return false;
        ChannelData& ch = rec.Ch[c];
        ch.Status = U16(block);
        if (ch.Status & kDeviceError) {
            ch.OXHb = ch.DXHb = ch.TOHb = ch.StO2 = 0;
            if ((ch.Status & STS_CODE_MASK) == 0) ch.Status |= STS_NOCODE;
            continue;
        }
        if (src.Read(block, 12) != 12) return false;
        ch.OXHb = F32(block);
        ch.DXHb = F32(block + 4);
        ch.TOHb = ch.OXHb + ch.DXHb;
        ch.StO2 = F32(block + 8);
    }
    return true;
}

ReadResult ReadWs56(ByteSource& src, RecordingStore& store, double interval) {
    std::uint8_t h[kWs56Header];
    if (src.Read(h + 4, kWs56Header - 4) != kWs56Header - 4) return ReadResult::FormatError;
    ReadWs56Header(h, store);

    std::int32_t last = 0;
    std::uint8_t head[8];
    while (src.Read(head, 8) == 8) {
        const std::int32_t seq = ExtendCounter(last, U32(head));
        // The first record gets no fillers whatever its counter.
        if (store.DataCount > 0 && !AppendWs56Fillers(store, last, seq, interval))
            return ReadResult::StoreFull;
        SampleRecord* const rec = store.Append();
        if (rec == nullptr) return ReadResult::StoreFull;
        rec->Time = store.DataCount == 1 ? 0.0 : rec[-1].Time + interval;
        rec->Seq = seq;
        last = seq;
        rec->Batt = F32(head + 4);
        if (!ReadWs56Channels(src, *rec)) {
            --store.DataCount; // the cut record is not kept
            return ReadResult::FormatError;
        }
    }
    return ReadResult::Success;
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
    const double headerStart = store.StartTime;
    ReadResult result = ReadResult::Success;
    std::uint8_t r[kWs31Record];
    while (src.Read(r, kWs31Record) == kWs31Record) {
        const SampleRecord* const prev =
            store.DataCount > 0 ? &store.SampleBuff[store.DataCount - 1] : nullptr;
        double t;
        if (U32(r) == 0xFFFFFFFFu) {
            t = prev == nullptr ? headerStart : prev->Time + interval;
        } else {
            t = DT(Y, M, D, DecodeBCD(r[2]), DecodeBCD(r[1]), DecodeBCD(r[0]), 0);
            if (t < headerStart) t += 1;
            // The steps up to a time stamp that the device skipped: no values, marked "E"
            // when the stamped record carries the error flag, "P" otherwise.
            const std::uint16_t fill = (r[3] & 0x80) ? STS_E : STS_P;
            while (prev != nullptr && t > store.SampleBuff[store.DataCount - 1].Time + interval) {
                SampleRecord* const filler = store.Append();
                if (filler == nullptr) break;
                filler->Time = filler[-1].Time + interval;
                ChannelData& ch = filler->Ch[0];
                ch.OXHb = ch.DXHb = ch.TOHb = ch.StO2 = 0;
                ch.Status = fill;
                filler->Seq = store.DataCount - 1;
            }
        }
        SampleRecord* const rec = store.Append();
        if (rec == nullptr) {
            result = ReadResult::StoreFull;
            break;
        }
        ChannelData& ch = rec->Ch[0];
        rec->Time = t;
        rec->Seq = store.DataCount - 1;
        ch.Status = 0;
        ch.StO2 = F32(r + 4);
        ch.OXHb = F32(r + 8);
        ch.DXHb = F32(r + 12);
        ch.TOHb = ch.OXHb + ch.DXHb;
    }
    const std::int32_t n = store.DataCount;
    if (n > 0) {
        SampleRecord* const buf = store.SampleBuff.get();
        store.StartTime = buf[0].Time;
        store.EndTime = buf[n - 1].Time;
        for (std::int32_t k = 0; k < n; ++k) buf[k].Time -= store.StartTime;
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
