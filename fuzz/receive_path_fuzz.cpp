// The receive path on arbitrary bytes: the frame assembler and CheckFrame, the frame stored and decoded by
// DecodeNowValue and DecodeLogRecord, fed in chunks whose sizes the input chooses; and the same stream once
// more through the link's receive pass over a port that serves those chunks. Both roads must end in the
// same records.
//
// Input: byte 0 the log (its value mod 3 in LogKind's order), byte 1 LogReqCode (low three bits),
// byte 2 the number of chunk sizes (low three bits, plus one), then that many chunk sizes (0 counts as 1),
// then the stream. (The buffer's size limit needs 32 KiB of input; the frame tests cover it.)
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "data/csv_export.h"
#include "data/log_record_decoder.h"
#include "data/now_value_decoder.h"
#include "fuzz/fuzz_support.h"
#include "link/frame_codec.h"
#include "link/log_collection.h"
#include "link/request_cycle.h"
#include "link/unit_link.h"

namespace {

using tessarin::fuzz::IsValidUtf8;
using tessarin::fuzz::Require;
using Bytes = std::vector<std::uint8_t>;

// The stream and where it is cut: chunk k is stream[cuts[k], cuts[k + 1]). Kept as offsets, so that a run
// allocates no more than the code under test does.
struct Chunks {
    std::span<const std::uint8_t> stream;
    std::vector<std::size_t> cuts;

    [[nodiscard]] std::size_t Count() const { return cuts.empty() ? 0 : cuts.size() - 1; }
    [[nodiscard]] std::span<const std::uint8_t> At(std::size_t k) const {
        return stream.subspan(cuts[k], cuts[k + 1] - cuts[k]);
    }
};

// A port that serves scripted chunks, one per read, and swallows writes. Opening always succeeds.
class ChunkPort final : public tessarin::CommPort {
  public:
    explicit ChunkPort(const Chunks& chunks) : m_chunks(chunks) {}

    bool Open(std::int32_t, const tessarin::LineSettings&) override { return true; }
    void Close() override {}
    bool Write(std::span<const std::uint8_t>) override { return true; }
    tessarin::PortRead Read() override {
        if (Drained()) {
            return {};
        }
        const auto chunk = m_chunks.At(m_next++);
        return {tessarin::ReadStatus::Received, {chunk.begin(), chunk.end()}};
    }
    bool ClearInput() override { return true; }
    bool ClearOutput() override { return true; }

    [[nodiscard]] bool Drained() const { return m_next >= m_chunks.Count(); }

  private:
    const Chunks& m_chunks;
    std::size_t m_next = 0;
};

// Lists the one port, COM1, as the adapter's.
class OnePortListing final : public tessarin::PortListing {
  public:
    std::string ReadRegText(std::uint32_t, const std::string&, const std::string& valueName) override {
        return valueName == "\\Device\\VCP0" ? "COM1" : "";
    }
    std::int16_t QueryOsPlatform() override { return tessarin::kPlatformNt; }
};

class QuietView final : public tessarin::LinkEvents {};

struct Setup {
    tessarin::LogKind kind = tessarin::LogKind::MinorFault;
    std::uint8_t logReqCode = 0;
    Chunks chunks;
};

Setup ReadSetup(const std::uint8_t* data, std::size_t size) {
    Setup setup;
    if (size < 3) {
        return setup;
    }
    setup.kind = static_cast<tessarin::LogKind>(data[0] % tessarin::kLogKindCount);
    setup.logReqCode = data[1] & 0x07;
    const std::size_t sizeCount = std::min<std::size_t>((data[2] & 0x07) + 1, size - 3);
    std::vector<std::size_t> sizes;
    for (std::size_t i = 0; i < sizeCount; ++i) {
        sizes.push_back(std::max<std::size_t>(data[3 + i], 1));
    }
    const std::span<const std::uint8_t> body(data + 3 + sizeCount, size - 3 - sizeCount);
    if (body.empty() || sizes.empty()) {
        return setup;
    }
    setup.chunks.stream = body;
    std::size_t at = 0;
    setup.chunks.cuts.push_back(at);
    for (std::size_t k = 0; at < body.size(); ++k) {
        at += std::min(sizes[k % sizes.size()], body.size() - at);
        setup.chunks.cuts.push_back(at);
    }
    return setup;
}

tessarin::DeviceData FreshData(const Setup& setup) {
    tessarin::DeviceData data;
    data.LogReqCode = setup.logReqCode;
    data.LogState = tessarin::kLogRunning;
    data.SendData[0] = 1;  // record 1 asked for: an answer to it is taken and asks for the next
    data.LogLines[0] = std::string(tessarin::LogHeaderLine(setup.kind));
    return data;
}

// What the dispatcher does with a record: decode it as a running collection would.
auto RecordDecoder(tessarin::DeviceData& data, tessarin::LogKind kind) {
    return [&data, kind] {
        data.LogState = tessarin::kLogRunning;
        tessarin::TakeLogRecord(data, kind);
        Require(data.LogLines[0] == tessarin::LogHeaderLine(kind), "a record never overwrites the header line");
    };
}

void CheckExtracted(const std::optional<Bytes>& extracted, std::span<const std::uint8_t> buffer) {
    Require(buffer.size() <= tessarin::kRcvBufferLimit, "the receive buffer stays within its limit");
    if (!extracted) {
        return;
    }
    const Bytes& frame = *extracted;
    Require(buffer.empty(), "extracting a frame empties the buffer");
    Require(frame.size() >= 2 && frame.size() <= 255, "a frame fits its one-byte length");
    Require(frame[0] == tessarin::kStartMark, "a frame starts with the start mark");
    Require(frame[2] == frame.size(), "a frame is as long as its length byte says");
    Require(frame[frame.size() - 2] == tessarin::kEndMark, "a frame has its end mark at L-2");
}

void CheckTexts(const tessarin::DeviceData& data) {
    const auto& v = data.NowValue;
    for (const std::string* text :
         {&v.V0Text, &v.I0Text, &v.PhaseText, &v.FreqText, &v.DetectModeText, &v.V0LevelText, &v.I0LevelText,
          &v.PhaseRangeText, &v.DetectTimeText, &v.OvgrStateText, &v.AlarmOut1Text, &v.AlarmOut2Text, &v.CyclicDispText,
          &v.LogOverwriteText, &v.OvgrModeText}) {
        Require(IsValidUtf8(*text), "current-value texts are UTF-8");
    }
    for (const std::string& line : data.LogLines) {
        Require(IsValidUtf8(line), "log lines are UTF-8");
        // An empty line encodes to nothing; skipping the converter for it keeps the runs quick.
        Require(line.empty() || tessarin::EncodeCp932(line).has_value(), "log lines can be saved in code page 932");
    }
}

bool SameRecords(const tessarin::DeviceData& a, const tessarin::DeviceData& b) {
    const auto& x = a.NowValue;
    const auto& y = b.NowValue;
    return a.RcvFrame == b.RcvFrame && a.RcvLast == b.RcvLast && a.LogLines == b.LogLines && a.ReqCode == b.ReqCode &&
           a.SendData == b.SendData && a.PollPending == b.PollPending && a.LogState == b.LogState &&
           x.V0Text == y.V0Text && x.I0Text == y.I0Text && x.PhaseText == y.PhaseText && x.FreqText == y.FreqText &&
           x.DetectProgress == y.DetectProgress && x.ConfirmCount == y.ConfirmCount &&
           x.DetectModeText == y.DetectModeText && x.V0LevelText == y.V0LevelText && x.I0LevelText == y.I0LevelText &&
           x.PhaseRangeText == y.PhaseRangeText && x.DetectTimeText == y.DetectTimeText &&
           x.OvgrStateText == y.OvgrStateText && x.AlarmOut1Text == y.AlarmOut1Text &&
           x.AlarmOut2Text == y.AlarmOut2Text && x.CyclicDispText == y.CyclicDispText &&
           x.LogOverwriteText == y.LogOverwriteText && x.OvgrModeText == y.OvgrModeText;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    const Setup setup = ReadSetup(input, size);
    if (setup.chunks.Count() == 0) {
        return 0;
    }

    // Chunk by chunk: assemble, check, store and decode.
    tessarin::DeviceData direct = FreshData(setup);
    const auto decodeDirect = RecordDecoder(direct, setup.kind);
    tessarin::FrameAssembler assembler;
    for (std::size_t k = 0; k < setup.chunks.Count(); ++k) {
        const std::optional<Bytes> frame = assembler.Push(setup.chunks.At(k));
        CheckExtracted(frame, assembler.Held());
        if (frame && tessarin::CheckFrame(*frame)) {
            direct.PollPending = 0;
            std::copy(frame->begin(), frame->end(), direct.RcvFrame.begin());
            direct.RcvLast = static_cast<std::int16_t>(frame->size() - 1);
            if ((*frame)[1] == tessarin::kRespNowValue) {
                direct.NowValue = tessarin::DecodeNowValue(direct.RcvFrame, direct.NowValue);
            } else if ((*frame)[1] >= tessarin::kRespRecordFirst && (*frame)[1] <= tessarin::kRespRecordLast) {
                decodeDirect();
            }
        }
    }
    CheckTexts(direct);

    // The same chunks through the link's receive pass over a port, once it is on line and has polled.
    QuietView view;
    ChunkPort* port = nullptr;
    tessarin::UnitLink link(view, std::make_unique<OnePortListing>(), [&] {
        auto made = std::make_unique<ChunkPort>(setup.chunks);
        port = made.get();
        return made;
    });
    link.Discover();
    for (int tick = 0; tick < tessarin::kPollEveryTicks; ++tick) {
        link.ConnectTick();
    }
    Require(port != nullptr && link.Data().TxStarted == tessarin::kTrue, "the link polled");
    tessarin::DeviceData& passed = link.Data();
    const tessarin::DeviceData fresh = FreshData(setup);
    passed.LogReqCode = fresh.LogReqCode;
    passed.LogState = fresh.LogState;
    passed.SendData = fresh.SendData;
    passed.LogLines = fresh.LogLines;
    passed.PollPending = 0;
    link.SetLogRecordHandler(RecordDecoder(passed, setup.kind));
    while (!port->Drained()) {
        (void)link.ReceiveTick();
    }
    while (link.ReceiveTick()) {
    }
    Require(SameRecords(direct, passed), "the receive pass and the chunk loop agree");
    return 0;
}
