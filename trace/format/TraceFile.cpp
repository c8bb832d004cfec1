#include "TraceFile.h"

#include "BlockFormat.h"
#include "Encoding.h"

#include <zstd.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace trace {

using namespace enc;
using namespace fmt;

namespace {

std::string errnoText(const std::string &what) { return what + ": " + std::strerror(errno); }

bool writeAll(int fd, const uint8_t *p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) {
            errno = ENOSPC;
            return false;
        }
        p += w;
        n -= size_t(w);
    }
    return true;
}

// Whole bytes, or fewer only at the end of the file.
size_t readAll(int fd, uint8_t *p, size_t n) {
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, p + got, n - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (r == 0) break;
        got += size_t(r);
    }
    return got;
}

void encodeRecord(std::vector<uint8_t> &meta, const Record &r, size_t stored) {
    meta.push_back(uint8_t(r.kind));
    putSigned(meta, r.op);
    putVar(meta, r.thread);
    putVar(meta, r.timeNs);
    putVar(meta, r.durationNs);
    putVar(meta, r.args.size());
    for (uint64_t a : r.args) putVar(meta, a);
    putSigned(meta, r.result);
    putVar(meta, r.outputs.size());
    for (uint64_t o : r.outputs) putVar(meta, o);
    meta.push_back(uint8_t(r.dataKind));
    meta.push_back(r.dataKept ? kFlagDataKept : 0);
    putVar(meta, r.dataSize);
    putVar(meta, r.dataOffset);
    putVar(meta, r.lineBytes); // version 2: the lines' layout (0 0: stored as laid out)
    putVar(meta, r.linePitch);
    putVar(meta, stored); // the bytes themselves follow in the data section
    putBytes(meta, r.text.data(), r.text.size());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Writer

struct Writer::Impl {
    int fd = -1;
    std::string error;
    bool finished = false;
    uint64_t written = 0;    // records appended so far (the next record's number)
    uint64_t blockFirst = 0; // number of the open block's first record
    uint32_t blockCount = 0;
    std::vector<uint8_t> meta, data, packed, block;
    ZSTD_CCtx *cctx = nullptr;
    int level = 1;
    size_t blockBytes = size_t(4) << 20;

    bool fail(const std::string &why) {
        if (error.empty()) error = why;
        return false;
    }
    bool usable() const { return fd >= 0 && error.empty() && !finished; }

    // Compresses `raw` onto the end of `packed`; the packed size, or false.
    bool pack(const std::vector<uint8_t> &raw, uint32_t *packedSize) {
        *packedSize = 0;
        if (raw.empty()) return true;
        const size_t start = packed.size();
        packed.resize(start + ZSTD_compressBound(raw.size()));
        const size_t n = ZSTD_compressCCtx(cctx, packed.data() + start, packed.size() - start,
                                           raw.data(), raw.size(), level);
        if (ZSTD_isError(n)) return fail(std::string("compression failed: ") + ZSTD_getErrorName(n));
        packed.resize(start + n);
        *packedSize = uint32_t(n);
        return true;
    }

    bool writeBlock(uint32_t flags) {
        if (meta.size() > kMaxSection || data.size() > kMaxSection)
            return fail("a block grew past the largest section a reader accepts");
        packed.clear();
        uint32_t metaPacked = 0, dataPacked = 0;
        if (!pack(meta, &metaPacked) || !pack(data, &dataPacked)) return false;
        block.assign(kBlockHeaderSize, 0);
        auto put32 = [&](size_t off, uint32_t v) {
            for (int i = 0; i < 4; ++i) block[off + i] = uint8_t(v >> (8 * i));
        };
        put32(kOffMagic, kBlockMagic);
        put32(kOffFlags, flags);
        for (int i = 0; i < 8; ++i) block[kOffFirst + i] = uint8_t(blockFirst >> (8 * i));
        put32(kOffCount, blockCount);
        put32(kOffMetaRaw, uint32_t(meta.size()));
        put32(kOffMetaPacked, metaPacked);
        put32(kOffDataRaw, uint32_t(data.size()));
        put32(kOffDataPacked, dataPacked);
        put32(kOffPayloadCrc, crc32c(packed.data(), packed.size()));
        put32(kOffHeaderCrc, crc32c(block.data(), kOffHeaderCrc));
        block.insert(block.end(), packed.begin(), packed.end());
        if (!writeAll(fd, block.data(), block.size())) return fail(errnoText("writing the trace"));
        meta.clear();
        data.clear();
        blockFirst = written;
        blockCount = 0;
        return true;
    }
};

Writer::Writer(const std::string &path, const Header &header) : impl_(std::make_unique<Impl>()) {
    Impl &d = *impl_;
    d.cctx = ZSTD_createCCtx();
    d.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (d.fd < 0) {
        d.fail(errnoText("cannot create " + path));
        return;
    }
    std::vector<uint8_t> fields;
    putVar(fields, header.startUnixNs);
    putBytes(fields, header.libraryPath.data(), header.libraryPath.size());
    putBytes(fields, header.command.data(), header.command.size());
    putBytes(fields, header.host.data(), header.host.size());
    std::vector<uint8_t> out(kFileMagic, kFileMagic + sizeof kFileMagic);
    putU32(out, kVersion);
    putU32(out, uint32_t(fields.size()));
    out.insert(out.end(), fields.begin(), fields.end());
    putU32(out, crc32c(fields.data(), fields.size()));
    if (!writeAll(d.fd, out.data(), out.size())) d.fail(errnoText("writing the trace header"));
}

Writer::~Writer() {
    finish();
    if (impl_->fd >= 0) ::close(impl_->fd);
    ZSTD_freeCCtx(impl_->cctx);
}

bool Writer::ok() const { return impl_->fd >= 0 && impl_->error.empty(); }
const std::string &Writer::error() const { return impl_->error; }
uint64_t Writer::recordsWritten() const { return impl_->written; }
void Writer::setCompressionLevel(int level) { impl_->level = level; }
void Writer::setBlockBytes(size_t bytes) { impl_->blockBytes = bytes ? bytes : 1; }

bool Writer::append(const Record &record) {
    return append(record, record.data.data(), record.data.size());
}

bool Writer::append(const Record &record, const uint8_t *bytes, size_t size) {
    Impl &d = *impl_;
    if (!d.usable()) return false;
    encodeRecord(d.meta, record, size);
    if (size) d.data.insert(d.data.end(), bytes, bytes + size);
    ++d.written;
    ++d.blockCount;
    if (d.meta.size() + d.data.size() >= d.blockBytes) return d.writeBlock(0);
    return true;
}

bool Writer::flush() {
    Impl &d = *impl_;
    if (!d.usable()) return false;
    if (d.blockCount == 0) return true;
    return d.writeBlock(0);
}

bool Writer::finish() {
    Impl &d = *impl_;
    if (!d.usable()) return d.finished && d.error.empty();
    const bool good = (d.blockCount == 0 || d.writeBlock(0)) && d.writeBlock(kBlockEnd);
    d.finished = true;
    return good;
}

// ---------------------------------------------------------------------------------------------
// Reader

struct Reader::Impl {
    int fd = -1;
    Header header;
    std::string error;
    bool headerOk = false;
    bool truncated = false;
    bool ended = false; // the end block was read, or reading stopped
    bool skipData = false;
    uint64_t offset = 0;     // file offset of the next block
    uint64_t blockStart = 0; // file offset of the block being read
    uint64_t nextNumber = 0; // the next record's number
    uint32_t left = 0;       // records still to be parsed from the present block
    std::vector<uint8_t> head, packed, meta, data;
    size_t dataPos = 0;
    Cursor cursor{nullptr, 0};
    ZSTD_DCtx *dctx = nullptr;

    bool stop(const std::string &why) {
        error = why;
        truncated = true;
        ended = true;
        return false;
    }
    std::string where() const {
        return "block at byte " + std::to_string(blockStart) + " (after record " +
               std::to_string(nextNumber) + ")";
    }

    bool unpack(const uint8_t *src, uint32_t packedSize, uint32_t rawSize,
                std::vector<uint8_t> &out) {
        out.resize(rawSize);
        if (rawSize == 0) return packedSize == 0;
        const size_t n = ZSTD_decompressDCtx(dctx, out.data(), rawSize, src, packedSize);
        return !ZSTD_isError(n) && n == rawSize;
    }

    // Reads the next block; false at the end of the trace or where reading has to stop.
    bool loadBlock() {
        while (!ended) {
            blockStart = offset;
            head.resize(kBlockHeaderSize);
            const size_t got = readAll(fd, head.data(), kBlockHeaderSize);
            if (got == 0)
                return stop("the trace ends after record " + std::to_string(nextNumber) +
                            " without its end mark: the recording did not finish");
            if (got < kBlockHeaderSize) return stop(where() + " is incomplete");
            const uint8_t *h = head.data();
            if (getU32(h + kOffMagic) != kBlockMagic ||
                getU32(h + kOffHeaderCrc) != crc32c(h, kOffHeaderCrc))
                return stop(where() + " is damaged (block header)");
            const uint32_t flags = getU32(h + kOffFlags);
            const uint32_t count = getU32(h + kOffCount);
            const uint32_t metaRaw = getU32(h + kOffMetaRaw), metaPacked = getU32(h + kOffMetaPacked);
            const uint32_t dataRaw = getU32(h + kOffDataRaw), dataPacked = getU32(h + kOffDataPacked);
            if (getU64(h + kOffFirst) != nextNumber || metaRaw > kMaxSection ||
                dataRaw > kMaxSection || metaPacked > kMaxSection || dataPacked > kMaxSection)
                return stop(where() + " is damaged (block header)");
            packed.resize(size_t(metaPacked) + dataPacked);
            if (readAll(fd, packed.data(), packed.size()) < packed.size())
                return stop(where() + " is incomplete");
            if (getU32(h + kOffPayloadCrc) != crc32c(packed.data(), packed.size()))
                return stop(where() + " is damaged (checksum)");
            if (!unpack(packed.data(), metaPacked, metaRaw, meta))
                return stop(where() + " is damaged (records do not decompress)");
            if (skipData) {
                data.clear();
            } else if (!unpack(packed.data() + metaPacked, dataPacked, dataRaw, data)) {
                return stop(where() + " is damaged (data does not decompress)");
            }
            offset += kBlockHeaderSize + packed.size();
            if (flags & kBlockEnd) {
                ended = true;
                return false;
            }
            cursor = Cursor(meta.data(), meta.size());
            dataPos = 0;
            left = count;
            if (count > 0) return true;
        }
        return false;
    }

    bool parse(Record *r) {
        Cursor &c = cursor;
        r->number = nextNumber;
        r->kind = Kind(c.byte());
        r->op = int(c.signedVar());
        r->thread = uint32_t(c.var());
        r->timeNs = c.var();
        r->durationNs = c.var();
        const uint64_t nargs = c.var();
        if (nargs > c.left()) return false;
        r->args.resize(nargs);
        for (auto &a : r->args) a = c.var();
        r->result = int32_t(c.signedVar());
        const uint64_t nout = c.var();
        if (nout > c.left()) return false;
        r->outputs.resize(nout);
        for (auto &o : r->outputs) o = c.var();
        r->dataKind = DataKind(c.byte());
        r->dataKept = (c.byte() & kFlagDataKept) != 0;
        r->dataSize = c.var();
        r->dataOffset = c.var();
        r->lineBytes = r->linePitch = 0;
        if (header.version >= 2) {
            r->lineBytes = c.var();
            r->linePitch = c.var();
            // A layout is only ever lines apart from each other, within the span they cover.
            if ((r->lineBytes | r->linePitch) != 0 &&
                (r->dataKind != DataKind::Lines || r->lineBytes == 0 ||
                 r->linePitch <= r->lineBytes || r->linePitch > kMaxSection ||
                 r->dataSize < r->lineBytes))
                return false;
        }
        const uint64_t stored = c.var();
        r->text = c.string();
        if (c.bad()) return false;
        // Packed lines never lie past the span the record names.
        if (packedLines(*r) && stored != 0 &&
            ((stored - 1) / r->lineBytes) * r->linePitch >= r->dataSize)
            return false;
        r->data.clear();
        if (!skipData) {
            if (stored > data.size() - dataPos) return false;
            r->data.assign(data.begin() + dataPos, data.begin() + dataPos + stored);
        }
        dataPos += stored;
        return true;
    }
};

Reader::Reader(const std::string &path) : impl_(std::make_unique<Impl>()) {
    Impl &d = *impl_;
    d.dctx = ZSTD_createDCtx();
    d.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (d.fd < 0) {
        d.error = errnoText("cannot open " + path);
        d.ended = true;
        return;
    }
    uint8_t fixed[16];
    if (readAll(d.fd, fixed, sizeof fixed) < sizeof fixed ||
        std::memcmp(fixed, kFileMagic, sizeof kFileMagic) != 0) {
        d.error = path + " is not a trace file";
        d.ended = true;
        return;
    }
    d.header.version = getU32(fixed + 8);
    if (d.header.version < kOldestVersion || d.header.version > kVersion) {
        d.error = path + ": trace version " + std::to_string(d.header.version) +
                  " is not one this program reads (it reads " + std::to_string(kOldestVersion) +
                  " to " + std::to_string(kVersion) + ")";
        d.ended = true;
        return;
    }
    const uint32_t n = getU32(fixed + 12);
    std::vector<uint8_t> fields(size_t(n) + 4);
    if (n > (1u << 20) || readAll(d.fd, fields.data(), fields.size()) < fields.size() ||
        getU32(fields.data() + n) != crc32c(fields.data(), n)) {
        d.error = path + ": the trace header is damaged";
        d.ended = true;
        return;
    }
    Cursor c(fields.data(), n);
    d.header.startUnixNs = c.var();
    d.header.libraryPath = c.string();
    d.header.command = c.string();
    d.header.host = c.string();
    if (c.bad()) {
        d.error = path + ": the trace header is damaged";
        d.ended = true;
        return;
    }
    d.offset = 16 + fields.size();
    d.headerOk = true;
}

Reader::~Reader() {
    if (impl_->fd >= 0) ::close(impl_->fd);
    ZSTD_freeDCtx(impl_->dctx);
}

bool Reader::ok() const { return impl_->headerOk; }
const std::string &Reader::error() const { return impl_->error; }
const Header &Reader::header() const { return impl_->header; }
bool Reader::truncated() const { return impl_->truncated; }
void Reader::setSkipData(bool skip) { impl_->skipData = skip; }
uint64_t Reader::bytesRead() const { return impl_->offset; }

bool Reader::next(Record *record) {
    Impl &d = *impl_;
    if (!d.headerOk) return false;
    if (d.left == 0 && !d.loadBlock()) return false;
    if (!d.parse(record)) return d.stop(d.where() + " is damaged (record " +
                                         std::to_string(d.nextNumber) + ")");
    ++d.nextNumber;
    --d.left;
    return true;
}

} // namespace trace
