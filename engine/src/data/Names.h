// Name rules of a data compilation: how an original file name becomes the
// name of each kind (ISO level 1, ISO level 2, the user-visible name), how
// clashes are numbered, and how volume identifiers are corrected to what a
// volume descriptor can hold. Everything here is a pure function of its
// arguments, so names come out the same after a reload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorn::engine::data {

// The name sets an item has in its folder. Kinds 1-3 are the public name
// kinds; the Joliet set is internal: the user-visible name cut to what a
// Joliet directory record holds, used only when that is shorter.
enum NameSet : int { kIso1 = 0, kIso2 = 1, kVisible = 2, kJolietVolume = 3, kNameSets = 4 };

// What the automatic names depend on besides the originals.
struct NameRules {
    bool asciiCharset = false;     // ISO names: false = d-characters, true = ASCII
    int visibleLimitChars = 207;   // kind 3: longest name in characters
    int visibleLimitBytes = 207;   // kind 3: longest name in UTF-8 bytes (0 = none)
    bool semicolonsAllowed = false;
    int jolietLimitUnits = 64;     // Joliet records: longest name in UTF-16 units
};

// A candidate name split where numbering goes: the suffix "~n" is put between
// base and extension, and the base is shortened until the whole name fits.
struct Candidate {
    std::string base;
    std::string ext;  // with its leading dot, or empty
};

// The candidate of `original` in a set, before clashes are resolved.
// `original` for the Joliet set is the item's user-visible name.
Candidate candidateName(NameSet set, std::string_view original, bool isDirectory,
                        const NameRules &rules);

// The candidate as a name, plain (n = 0) or numbered with "~n".
std::string composeName(NameSet set, const Candidate &c, unsigned n, const NameRules &rules);

// True when `name` is acceptable as a user-set name of the set (kinds 1-3):
// right characters, right length. Clashes are checked by the caller.
bool isValidUserName(NameSet set, std::string_view name, bool isDirectory, const NameRules &rules);

// UTF-8 helpers. Invalid bytes count as one character each.
std::size_t utf8Chars(std::string_view s);
std::size_t utf16Units(std::string_view s);
// Cuts `s` to at most maxChars characters, maxUnits UTF-16 units and maxBytes
// bytes (0 = no limit) without splitting a character.
std::string_view utf8Cut(std::string_view s, std::size_t maxChars, std::size_t maxUnits,
                         std::size_t maxBytes);

// Volume identifiers. Each kind of field has its characters and length.
enum class IdField {
    VolumeLabel,        // ISO: d-characters, 32 bytes; Joliet: 16 UCS-2 characters
    SystemId,           // ISO: a-characters, 32;  Joliet: 16
    VolumeSetId,        // ISO: d-characters, 128; Joliet: 64
    PublisherId,        // ISO: a-characters, 128; Joliet: 64
    DataPreparerId,     // ISO: a-characters, 128; Joliet: 64
    ApplicationId,      // ISO: a-characters, 128; Joliet: 64
    CopyrightFileId,    // ISO: d-characters and ".;", 37; Joliet: 18
    AbstractFileId,     // as copyright
    BibliographicFileId // as copyright
};

// The text as an ISO 9660 descriptor field will hold it: upper case, other
// characters replaced by "_", cut to the field's length.
std::string correctIsoIdentifier(IdField field, std::string_view text);
// The text as a Joliet descriptor field will hold it: characters Joliet
// forbids in names replaced by "_" (file identifiers and labels), control
// characters always, cut to the field's length in UCS-2 characters.
std::string correctJolietIdentifier(IdField field, std::string_view text);
// A UDF volume label: at most 30 characters, control characters replaced.
std::string correctUdfLabel(std::string_view text);

}  // namespace vorn::engine::data
