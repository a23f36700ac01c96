#pragma once

// A .docx package opened for reading: its parts by name, checked against their crc, and
// the relationships a part declares. Internal to the host library.

#include <zip.h>

#include <functional>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace varelo::host::docx {

struct Relationship {
    std::string id;
    std::string type;
    std::string target;  // the part name it resolves to, without a leading '/'
};

// A part's bytes followed by a NUL, in memory that pugixml takes over when it parses them
// where they lie.
class PartBytes {
  public:
    explicit PartBytes(size_t size);
    ~PartBytes();
    PartBytes(PartBytes&& other) noexcept;
    PartBytes& operator=(PartBytes&&) = delete;
    char* data() { return data_; }
    size_t size() const { return size_; }
    // The memory, handed over to be freed with pugixml's deallocation function.
    char* Release();

  private:
    char* data_;
    size_t size_;
};

class PackageReader {
  public:
    // Throws OpenError when the bytes are not a zip holding at least one entry.
    explicit PackageReader(std::string_view bytes);
    ~PackageReader();
    PackageReader(const PackageReader&) = delete;
    PackageReader& operator=(const PackageReader&) = delete;

    // The part's bytes, or nothing when the package has no such part. Throws OpenError for
    // a part that is damaged or too large.
    std::optional<std::string> Read(std::string_view name);
    // The same, for a part that is to be parsed.
    std::optional<PartBytes> ReadToParse(std::string_view name);

    // The internal relationships of the part (the package's own for ""), from its .rels part;
    // none when it has none. External targets are left out.
    std::vector<Relationship> RelationshipsOf(std::string_view part);

  private:
    [[noreturn]] static void Damaged(std::string_view part, const std::string& reason);
    // Inflates the part into the memory allocate(size) gives and checks it; false when the
    // package has no such part.
    bool Inflate(const std::string& name, const std::function<char*(size_t)>& allocate);
    zip_t* archive_ = nullptr;
};

// Parses a part, in place where pugixml can (the document then owns the bytes); throws
// OpenError naming the part when it is not well-formed.
pugi::xml_document ParsePart(PartBytes bytes, std::string_view part);
pugi::xml_document ParsePart(std::string_view xml, std::string_view part);

// The relationships part of a part: "word/document.xml" -> "word/_rels/document.xml.rels".
std::string RelationshipsPartOf(std::string_view part);
// A relationship's target resolved against the folder of its source part.
std::string ResolveTarget(std::string_view sourcePart, std::string_view target);

// An element's or attribute's name without its namespace prefix.
std::string_view LocalName(const char* qualified);

}  // namespace varelo::host::docx
