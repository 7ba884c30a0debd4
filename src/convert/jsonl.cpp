#include "convert/jsonl.h"

#include "convert/number_text.h"

#include <algorithm>
#include <string_view>

namespace tesmora {
namespace {

void PutJsonString(ByteSink& out, std::string_view s) {
    static constexpr char hex[] = "0123456789abcdef";
    out.Put('"');
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out.Write("\\\"");
            break;
        case '\\':
            out.Write("\\\\");
            break;
        case '\b':
            out.Write("\\b");
            break;
        case '\f':
            out.Write("\\f");
            break;
        case '\n':
            out.Write("\\n");
            break;
        case '\r':
            out.Write("\\r");
            break;
        case '\t':
            out.Write("\\t");
            break;
        default:
            if (c < 0x20) {
                const char esc[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
                out.Write(esc, sizeof esc);
            } else {
                out.Put(ch);
            }
        }
    }
    out.Put('"');
}

void PutChannel(ByteSink& out, const ChannelData& ch, bool withTemp) {
    out.Put('{');
    if (withTemp) {
        out.Write("\"Temp\":");
        PutJsonNumber(out, ch.Temp);
        out.Put(',');
    }
    out.Write("\"Status\":");
    out.WriteInteger(ch.Status);
    out.Write(",\"OXHb\":");
    PutJsonNumber(out, ch.OXHb);
    out.Write(",\"DXHb\":");
    PutJsonNumber(out, ch.DXHb);
    out.Write(",\"TOHb\":");
    PutJsonNumber(out, ch.TOHb);
    out.Write(",\"StO2\":");
    PutJsonNumber(out, ch.StO2);
    out.Put('}');
}

} // namespace

void WriteJsonLines(const RecordingStore& store, ByteSink& out) {
    out.Write("{\"DataType\":");
    out.WriteInteger(store.DataType);
    out.Write(",\"ChCount\":");
    out.WriteInteger(store.ChCount);
    out.Write(",\"DataCount\":");
    out.WriteInteger(store.DataCount);
    out.Write(",\"Rate\":");
    out.WriteInteger(store.Rate);
    out.Write(",\"SerialNo\":");
    PutJsonString(out, store.SerialNo);
    out.Write(",\"PatientID\":");
    PutJsonString(out, store.PatientID);
    out.Write(",\"PatientName\":");
    PutJsonString(out, store.PatientName);
    out.Write(",\"StartTime\":");
    PutJsonNumber(out, store.StartTime);
    out.Write(",\"EndTime\":");
    PutJsonNumber(out, store.EndTime);
    out.Write("}\n");

    const int channels = std::clamp(store.ChCount, 0, 4);
    const bool withBatt = store.DataType == 4;
    const bool withTemp = store.DataType == 3;
    for (std::int32_t j = 0; j < store.DataCount; ++j) {
        const SampleRecord& r = store.SampleBuff[j];
        out.Write("{\"Time\":");
        PutJsonNumber(out, r.Time);
        out.Write(",\"Seq\":");
        out.WriteInteger(r.Seq);
        if (withBatt) {
            out.Write(",\"Batt\":");
            PutJsonNumber(out, r.Batt);
        }
        out.Write(",\"Ch\":[");
        for (int c = 0; c < channels; ++c) {
            if (c) out.Put(',');
            PutChannel(out, r.Ch[c], withTemp);
        }
        out.Write("]}\n");
    }
}

} // namespace tesmora
