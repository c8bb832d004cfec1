// The trace file: what is written is read back field for field, and a file cut or damaged
// anywhere yields exactly the records of the blocks before the cut, marked as truncated.
#include "trace/format/TraceFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using trace::Record;

std::string tempPath(const std::string &name) {
    return (std::filesystem::temp_directory_path() /
            ("pelora-trace-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

std::vector<uint8_t> fileBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes, size_t n) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(n));
}

// A mix of everything a record can hold: calls with outputs and negative results, hooks with
// kept and unkept lines, a DSP path, a note.
Record sample(uint64_t i) {
    Record r;
    r.kind = i % 5 == 4 ? trace::Kind::Callback : (i % 7 == 6 ? trace::Kind::Note : trace::Kind::Call);
    r.op = int(i % 20) + 1;
    r.thread = uint32_t(1 + i % 3);
    r.timeNs = 1000 * i + (i << 40);
    r.durationNs = i * 17;
    r.args = {i, ~uint64_t(0) - i, 0x7f00'0000'1000 + i};
    r.args.resize(i % 4);
    r.result = i % 3 == 0 ? -int32_t(i) : int32_t(i);
    r.outputs.assign(i % 6, i * 3);
    if (i % 4 == 1) {
        r.dataKind = trace::DataKind::Lines;
        r.dataKept = i % 8 != 5;
        r.dataSize = 100 + i;
        r.dataOffset = i * 8192;
        uint64_t stored = r.dataSize;
        if (i % 8 == 1) { // lines stored without the bytes between them
            r.lineBytes = 3 + i % 5;
            r.linePitch = 64;
            const uint64_t lines = 1 + i % 4;
            r.dataSize = (lines - 1) * r.linePitch + r.lineBytes;
            stored = lines * r.lineBytes;
        }
        if (r.dataKept)
            for (uint64_t k = 0; k < stored; ++k) r.data.push_back(uint8_t(k * i));
    }
    if (i % 9 == 2) r.text = "/tmp/dsp program " + std::to_string(i) + ".bin";
    return r;
}

void expectSame(const Record &a, const Record &b, bool withData) {
    EXPECT_EQ(a.number, b.number);
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.op, b.op);
    EXPECT_EQ(a.thread, b.thread);
    EXPECT_EQ(a.timeNs, b.timeNs);
    EXPECT_EQ(a.durationNs, b.durationNs);
    EXPECT_EQ(a.args, b.args);
    EXPECT_EQ(a.result, b.result);
    EXPECT_EQ(a.outputs, b.outputs);
    EXPECT_EQ(a.dataKind, b.dataKind);
    EXPECT_EQ(a.dataKept, b.dataKept);
    EXPECT_EQ(a.dataSize, b.dataSize);
    EXPECT_EQ(a.dataOffset, b.dataOffset);
    EXPECT_EQ(a.lineBytes, b.lineBytes);
    EXPECT_EQ(a.linePitch, b.linePitch);
    EXPECT_EQ(withData ? a.data : std::vector<uint8_t>(), b.data);
    EXPECT_EQ(a.text, b.text);
}

struct Written {
    std::vector<Record> records;
    std::vector<std::pair<size_t, size_t>> blockEnds; // file size after a block, records in it
    size_t headerEnd = 0;
    std::vector<uint8_t> bytes;
};

// Blocks of 1, 4, 7 ... records, each flushed on its own so that its end offset is known.
Written writeSample(const std::string &path) {
    Written w;
    trace::Header h;
    h.libraryPath = "/opt/board/libPEL2CTL.so";
    h.command = "pelora2-check --tier quick";
    h.host = "bench-3";
    h.startUnixNs = 1'765'000'000'000'000'000ull;
    trace::Writer writer(path, h);
    EXPECT_TRUE(writer.ok()) << writer.error();
    w.headerEnd = std::filesystem::file_size(path);
    uint64_t n = 0;
    for (int block = 0; block < 6; ++block) {
        for (int k = 0; k < 1 + 3 * block; ++k) {
            Record r = sample(n);
            r.number = n++;
            EXPECT_TRUE(writer.append(r));
            w.records.push_back(r);
        }
        EXPECT_TRUE(writer.flush());
        w.blockEnds.push_back({std::filesystem::file_size(path), w.records.size()});
    }
    EXPECT_TRUE(writer.finish()) << writer.error();
    EXPECT_EQ(writer.recordsWritten(), w.records.size());
    w.bytes = fileBytes(path);
    return w;
}

TEST(TraceFile, RoundTripKeepsEveryFieldAndHeader) {
    const std::string path = tempPath("roundtrip.trace");
    const Written w = writeSample(path);
    for (bool skip : {false, true}) {
        trace::Reader reader(path);
        ASSERT_TRUE(reader.ok()) << reader.error();
        EXPECT_EQ(reader.header().command, "pelora2-check --tier quick");
        EXPECT_EQ(reader.header().libraryPath, "/opt/board/libPEL2CTL.so");
        EXPECT_EQ(reader.header().host, "bench-3");
        EXPECT_EQ(reader.header().startUnixNs, 1'765'000'000'000'000'000ull);
        reader.setSkipData(skip);
        Record r;
        size_t i = 0;
        while (reader.next(&r)) {
            ASSERT_LT(i, w.records.size());
            expectSame(w.records[i++], r, !skip);
        }
        EXPECT_EQ(i, w.records.size());
        EXPECT_FALSE(reader.truncated()) << reader.error();
        EXPECT_EQ(reader.bytesRead(), w.bytes.size());
    }
    // A disk that refuses the bytes is an error, never a trace that claims to be written.
    trace::Writer full("/dev/full", trace::Header{});
    EXPECT_FALSE(full.ok());
    EXPECT_FALSE(full.append(sample(1)));
    std::filesystem::remove(path);
}

// Every cut of the file, and a flipped byte in every place of it: the reader yields exactly the
// records of the complete, intact blocks before the damage and says the trace is truncated.
TEST(TraceFile, CutOrDamagedFileReadsUpToLastCompleteBlock) {
    const std::string path = tempPath("cut-source.trace");
    const Written w = writeSample(path);
    const std::string cutPath = tempPath("cut.trace");
    auto recordsBefore = [&](size_t offset) {
        size_t n = 0;
        for (auto [end, count] : w.blockEnds)
            if (end <= offset) n = count;
        return n;
    };
    for (bool flip : {false, true}) {
        for (size_t at = 0; at < w.bytes.size(); ++at) {
            SCOPED_TRACE((flip ? "byte flipped at " : "cut at ") + std::to_string(at));
            std::vector<uint8_t> bytes = w.bytes;
            if (flip) bytes[at] ^= 0x5a;
            writeBytes(cutPath, bytes, flip ? bytes.size() : at);
            trace::Reader reader(cutPath);
            if (at < w.headerEnd) {
                EXPECT_FALSE(reader.ok());
                EXPECT_FALSE(reader.error().empty());
                continue;
            }
            ASSERT_TRUE(reader.ok()) << reader.error();
            Record r;
            size_t n = 0;
            while (reader.next(&r)) {
                ASSERT_LT(n, w.records.size());
                expectSame(w.records[n++], r, true);
            }
            EXPECT_EQ(n, recordsBefore(at));
            EXPECT_TRUE(reader.truncated());
            EXPECT_FALSE(reader.error().empty());
            EXPECT_FALSE(reader.next(&r)); // stays stopped
        }
    }
    std::filesystem::remove(path);
    std::filesystem::remove(cutPath);
}

// A trace of the first format (lines stored with the bytes between them, no layout fields),
// as its writer left it: a call, then two 4-byte lines 8 bytes apart delivered at offset 8.
const std::vector<uint8_t> kVersionOne = {
    0x50, 0x45, 0x4c, 0x54, 0x52, 0x41, 0x43, 0x45, 0x01, 0x00, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00,
    0x07, 0x09, 0x2f, 0x6c, 0x69, 0x62, 0x2f, 0x78, 0x2e, 0x73, 0x6f, 0x03, 0x6f, 0x6c, 0x64, 0x01,
    0x68, 0x44, 0xd6, 0xdd, 0x85, 0x50, 0x54, 0x52, 0x42, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x23, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00,
    0x00, 0x0c, 0x00, 0x00, 0x00, 0x15, 0x00, 0x00, 0x00, 0xef, 0x78, 0x63, 0xc1, 0x3f, 0xd6, 0xf3,
    0x75, 0x28, 0xb5, 0x2f, 0xfd, 0x20, 0x23, 0x19, 0x01, 0x00, 0x01, 0x12, 0x01, 0x05, 0x02, 0x02,
    0x00, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x02, 0x02, 0x02, 0x09, 0x03, 0x05,
    0x01, 0x00, 0x02, 0x01, 0x00, 0x00, 0x00, 0x01, 0x01, 0x0c, 0x08, 0x0c, 0x00, 0x28, 0xb5, 0x2f,
    0xfd, 0x20, 0x0c, 0x61, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00, 0x00, 0x05, 0x06,
    0x07, 0x08, 0x50, 0x54, 0x52, 0x42, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xe1, 0x0c, 0xa5, 0x0f};

// The same delivery read from the first format and stored packed lays out alike (replay, frames
// and diff use that); into a buffer only as far as the buffer goes, leaving the bytes between
// lines alone.
TEST(TraceFile, ReadsTheFirstFormatAndLaysOutPackedLinesAlike) {
    const std::string path = tempPath("v1.trace");
    writeBytes(path, kVersionOne, kVersionOne.size());
    trace::Reader reader(path);
    ASSERT_TRUE(reader.ok()) << reader.error();
    EXPECT_EQ(reader.header().version, 1u);
    EXPECT_EQ(reader.header().command, "old");
    Record call, old, end;
    ASSERT_TRUE(reader.next(&call));
    EXPECT_EQ(call.args, (std::vector<uint64_t>{0, 16}));
    ASSERT_TRUE(reader.next(&old));
    EXPECT_FALSE(reader.next(&end));
    EXPECT_FALSE(reader.truncated()) << reader.error();
    EXPECT_FALSE(trace::packedLines(old));
    EXPECT_EQ(trace::pixelBytes(old), 12u);

    Record packed = old;
    packed.lineBytes = 4;
    packed.linePitch = 8;
    packed.data = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(trace::pixelBytes(packed), 8u);
    EXPECT_EQ(trace::laidOut(packed), old.data);
    for (size_t capacity : {size_t(0), size_t(8), size_t(13), size_t(18), size_t(32)}) {
        std::vector<uint8_t> got(capacity, 0xee), want(capacity, 0xee);
        for (size_t k = 0; k < 4; ++k) { // the bytes between the lines stay as they were
            if (8 + k < capacity) want[8 + k] = uint8_t(1 + k);
            if (16 + k < capacity) want[16 + k] = uint8_t(5 + k);
        }
        trace::layOut(packed, got.data(), capacity);
        EXPECT_EQ(got, want) << "capacity " << capacity;
    }
    std::filesystem::remove(path);
}

} // namespace
