#pragma once
// Profile files: text files of named sections in square brackets, each holding key=value
// lines. Quenta keeps its configuration in one of them.
//
//   [Section]
//   Key=Value
//
// Reading: lines end at LF; leading spaces and tabs, trailing spaces, tabs and CR are ignored.
// "[name]" opens a section (text after the "]" is ignored; "[]" opens none, so the entries after
// it are dropped; a repeated header empties the section it names and continues it). Entries are
// lines holding "=" inside a section: the key is the text before the first "=", the value the
// rest. Everything else is ignored; there are no comments. At most 256 KiB of text before the
// first header is read (a longer prefix ends the file), and at most 32 MiB of each line (the
// rest of a longer line is dropped). When a key occurs twice in a section, the last one counts.
// Section and key names are compared without regard to case.
//
// Writing: every change rewrites the whole file: each section in sorted order as "[name]", its
// keys in sorted order as "key=value", then an empty line. The text goes to a temporary file
// next to the real one (".quenta.ini.new" for "quenta.ini"), which is flushed to the disk and
// then replaces it by rename (base/tempfile.h), so other readers never see a half-written file
// and a failed write or a power cut leaves the old file as it was. A file reached through a
// symbolic link is replaced at the link's end. The original order of the file and any lines
// that were not entries are not kept.
//
// Parsed files are cached (up to 32 files, the least recently used one making way for a new
// one); a cached file is read again when its modification time, size or identity on disk
// changed, so changes made by other programs or other processes are seen at the next call.
// Files that cannot be read read as empty. When a write cannot be done (folder missing, file
// not writable, disk full), the file keeps its old contents, the write reports failure, and
// the change stays in the cache only, until the file changes on disk or a later write stores
// it (every later write call tries again, even one that changes nothing).
//
// All functions may be called from any thread; one process-wide recursive mutex serialises
// them. Readers take a shared file lock on the file, writers an exclusive lock on the
// temporary file.

// Reads from fileName into out, which holds outSize bytes.
//
// section and key given: the value of the entry, with leading and trailing spaces and tabs
// removed and then, when what remains is at least two characters long and starts and ends
// with the same quote character (" or '), those two quotes removed. When the section or the key
// does not exist, defaultValue (the empty string when null) is copied as it is, untrimmed.
// At most outSize - 1 characters are copied, followed by a NUL.
// Returns the number of characters copied (without the NUL).
//
// key null: the names of all keys of the section; section null: the names of all sections.
// The names come in sorted order, each followed by a NUL, with one more NUL at the end
// ("a\0b\0\0"). A missing section gives an empty list ("\0\0"). At most outSize - 2 characters
// of the list are copied (the last name may be cut); with outSize 1 only one NUL is written.
// Returns the number of characters before the final two NULs (3 for "a\0b\0\0").
//
// With out null or outSize below 1 nothing is written and the result is 0. A null or empty
// fileName reads as an empty file.
int GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                            char* out, int outSize, const char* fileName);

// The entry's value (read as above, at most 511 characters) as a decimal integer: leading
// digits are converted the way atoi does, limited to the int range. Returns defaultValue when
// the entry is missing or empty, or when the conversion gives 0 but the value does not begin
// with the digit 0 ("abc" gives defaultValue, "0" gives 0, "12x" gives 12). A null section or
// key gives defaultValue.
int GetPrivateProfileInt(const char* section, const char* key, int defaultValue,
                         const char* fileName);

// Changes one entry of fileName and writes the file back:
//   key null:   deletes the section (nothing is written when it does not exist);
//   value null: deletes the key (nothing is written when it does not exist);
//   otherwise:  sets the key, creating the section when missing; when the key already holds
//               exactly this value (compared with case) nothing is written.
// Returns 0 when section or fileName is null or empty or key is the empty string (nothing
// changes) or when the file could not be written (see above), else 1.
int WritePrivateProfileString(const char* section, const char* key, const char* value,
                              const char* fileName);

// Replaces the contents of a section. entries is a sequence of NUL-terminated strings
// "key=value" ended by an empty string ("a=1\0b=2\0\0"); null counts as no entries. An
// existing section is emptied first; a missing section is created, unless there are no entries
// (then nothing changes and nothing is written). Each entry (at most its first 8191 characters)
// is split at its first "="; entries without "=" or with an empty key are skipped, and of two
// entries with the same key the later counts. The file is then written back.
// Returns 0 when section or fileName is null or empty (nothing changes) or when the file could
// not be written, else 1.
int WritePrivateProfileSection(const char* section, const char* entries, const char* fileName);
