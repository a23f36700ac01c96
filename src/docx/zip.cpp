#include "docx/zip.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "docx/writer.h"

namespace varelo::host::docx {

namespace {

// Every entry carries the same time stamp (1980-01-01 00:00, the earliest a zip can
// hold), so equal documents give equal bytes.
constexpr uint16_t kDosTime = 0;
constexpr uint16_t kDosDate = (1 << 5) | 1;
constexpr uint16_t kVersion = 20;  // 2.0: deflate
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;

// The version a reader needs: 1.0 for a stored entry, 2.0 for a deflated one.
uint16_t VersionNeeded(uint16_t method) {
    return method == kStored ? 10 : kVersion;
}
constexpr uint64_t kMax32 = std::numeric_limits<uint32_t>::max();

[[noreturn]] void Fail(const char* what) {
    throw SaveError(std::string("Cannot build the .docx package: ") + what);
}

uint32_t Checked32(uint64_t v) {
    if (v > kMax32) Fail("the document is too large");
    return static_cast<uint32_t>(v);
}

// Raw deflate: the zip entry carries the crc itself.
bool StartDeflate(z_stream& z, int level) {
    z = z_stream{};
    return deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

// Setting a stream up allocates and clears about 270 KB, which the allocator hands back to
// the system when the stream ends: a tenth of writing a whole sheet went on page faults. Each
// thread keeps one stream for the packages it writes, one after another.
struct KeptStream {
    z_stream z{};
    int level = 0;
    bool ready = false, busy = false;
    KeptStream() = default;
    KeptStream(const KeptStream&) = delete;
    KeptStream& operator=(const KeptStream&) = delete;
    ~KeptStream() {
        if (ready) deflateEnd(&z);
    }
};

KeptStream& ThreadStream() {
    thread_local KeptStream kept;
    return kept;
}

}  // namespace

ZipWriter::ZipWriter(int level) {
    out_.resize(64 * 1024);
    KeptStream& kept = ThreadStream();
    if (!kept.busy) {
        if (kept.ready && kept.level != level) {
            deflateEnd(&kept.z);
            kept.ready = false;
        }
        if (!kept.ready) {
            if (!StartDeflate(kept.z, level)) Fail("zlib could not start");
            kept.ready = true;
            kept.level = level;
        }
        kept.busy = true;
        z_ = &kept.z;
        return;
    }
    // Another package is being written on this thread: this one has a stream of its own.
    if (!StartDeflate(own_, level)) Fail("zlib could not start");
    ownStream_ = true;
    z_ = &own_;
}

ZipWriter::~ZipWriter() {
    if (ownStream_)
        deflateEnd(&own_);
    else
        ThreadStream().busy = false;
}

char* ZipWriter::Reserve(size_t n) {
    if (out_.size() - used_ < n) out_.resize(std::max(out_.size() * 2, used_ + n));
    return out_.data() + used_;
}

void ZipWriter::Put16(uint16_t v) {
    char* p = Reserve(2);
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>(v >> 8);
    used_ += 2;
}

void ZipWriter::Put32(uint32_t v) {
    Reserve(4);
    Patch32(used_, v);
    used_ += 4;
}

void ZipWriter::PutBytes(std::string_view s) {
    std::memcpy(Reserve(s.size()), s.data(), s.size());
    used_ += s.size();
}

void ZipWriter::Patch32(size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) out_[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

DeflatedPart DeflatePart(std::string_view data, int level) {
    DeflatedPart part;
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        Fail("zlib could not start");
    if (data.size() > (1u << 30)) {
        deflateEnd(&z);
        Fail("a part is too large");
    }
    part.data.resize(deflateBound(&z, static_cast<uLong>(data.size())));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(part.data.data());
    z.avail_out = static_cast<uInt>(part.data.size());
    const int rc = deflate(&z, Z_FINISH);
    part.data.resize(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END) Fail("zlib failed");
    part.crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    part.size = data.size();
    return part;
}

void ZipWriter::LocalHeader(std::string_view name, uint16_t method) {
    if (open_) Fail("an entry is still open");
    if (name.size() > 0xFFFF) Fail("a part name is too long");
    Entry e;
    e.name = name;
    e.offset = used_;
    e.method = method;
    // The crc and the sizes are patched in once known.
    Put32(0x04034b50);
    Put16(VersionNeeded(method));
    Put16(0);  // flags
    Put16(method);
    Put16(kDosTime);
    Put16(kDosDate);
    Put32(0);  // crc
    Put32(0);  // compressed size
    Put32(0);  // size
    Put16(static_cast<uint16_t>(name.size()));
    Put16(0);  // extra field length
    PutBytes(name);
    entries_.push_back(std::move(e));
}

void ZipWriter::Seal(Entry& e) {
    Patch32(e.offset + 14, e.crc);
    Patch32(e.offset + 18, Checked32(e.compressed));
    Patch32(e.offset + 22, Checked32(e.size));
}

void ZipWriter::Begin(std::string_view name) {
    LocalHeader(name, kDeflated);
    if (deflateReset(z_) != Z_OK) Fail("zlib could not start");
    open_ = true;
}

void ZipWriter::Add(std::string_view name, std::string_view data) {
    if (data.size() >= kStoreBelow) {
        Begin(name);
        Write(data);
        End();
        return;
    }
    AddStored(name, data);
}

void ZipWriter::AddStored(std::string_view name, std::string_view data) {
    LocalHeader(name, kStored);
    PutBytes(data);
    Entry& e = entries_.back();
    e.crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    e.compressed = e.size = data.size();
    Seal(e);
}

void ZipWriter::Add(std::string_view name, const DeflatedPart& part) {
    LocalHeader(name, kDeflated);
    PutBytes(part.data);
    Entry& e = entries_.back();
    e.crc = part.crc;
    e.compressed = part.data.size();
    e.size = part.size;
    Seal(e);
}

void ZipWriter::Deflate(int flush) {
    for (;;) {
        const size_t room = std::min<size_t>(out_.size() - used_, 1u << 30);
        if (room < 16 * 1024) {
            Reserve(64 * 1024);
            continue;
        }
        z_->next_out = reinterpret_cast<Bytef*>(out_.data() + used_);
        z_->avail_out = static_cast<uInt>(room);
        const int rc = deflate(z_, flush);
        used_ += room - z_->avail_out;
        if (rc == Z_STREAM_ERROR) Fail("zlib failed");
        if (flush == Z_FINISH ? rc == Z_STREAM_END : (z_->avail_in == 0 && z_->avail_out != 0))
            return;
    }
}

void ZipWriter::Write(std::string_view data) {
    if (!open_) Fail("no entry is open");
    Entry& e = entries_.back();
    // zlib counts in uInt; very large pieces go in slices.
    while (!data.empty()) {
        const size_t n = std::min<size_t>(data.size(), 1u << 30);
        e.crc = static_cast<uint32_t>(
            crc32(e.crc, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(n)));
        e.size += n;
        z_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        z_->avail_in = static_cast<uInt>(n);
        Deflate(Z_NO_FLUSH);
        data.remove_prefix(n);
    }
}

void ZipWriter::End() {
    if (!open_) Fail("no entry is open");
    z_->next_in = nullptr;
    z_->avail_in = 0;
    Deflate(Z_FINISH);
    Entry& e = entries_.back();
    e.compressed = z_->total_out;
    open_ = false;
    Seal(e);
}

std::string ZipWriter::Finish() {
    if (open_) End();
    const uint64_t directoryAt = used_;
    for (const Entry& e : entries_) {
        Put32(0x02014b50);
        Put16(kVersion);  // made by
        Put16(VersionNeeded(e.method));
        Put16(0);  // flags
        Put16(e.method);
        Put16(kDosTime);
        Put16(kDosDate);
        Put32(e.crc);
        Put32(Checked32(e.compressed));
        Put32(Checked32(e.size));
        Put16(static_cast<uint16_t>(e.name.size()));
        Put16(0);  // extra field length
        Put16(0);  // comment length
        Put16(0);  // disk
        Put16(0);  // internal attributes
        Put32(0);  // external attributes
        Put32(Checked32(e.offset));
        PutBytes(e.name);
    }
    if (entries_.size() > 0xFFFF) Fail("too many parts");
    const uint64_t directorySize = used_ - directoryAt;
    Put32(0x06054b50);
    Put16(0);  // this disk
    Put16(0);  // disk of the directory
    Put16(static_cast<uint16_t>(entries_.size()));
    Put16(static_cast<uint16_t>(entries_.size()));
    Put32(Checked32(directorySize));
    Put32(Checked32(directoryAt));
    Put16(0);  // comment length
    out_.resize(used_);
    return std::move(out_);
}

}  // namespace varelo::host::docx
