#pragma once
// The record layer: everything the programs print or read passes through it.
//
// Output is a record laid out by a format string such as "(F13.8,A4,F13.8,A1)"
// or a free-form record whose items follow one another. Input is a whole line
// read by a format string such as "(F12.0)", or free-form values over as many
// lines as needed. The layout functions are pure (descriptor and value to text,
// and back); the channels below add console carriage control and file records.

#include "diag/sink.h"

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace records {

// An output item: a text, a 32-bit integer or a double.
using Item = diag::Item;

// A variable that an input statement fills. A text variable has a fixed
// length: the string's size when the read begins.
using Target = std::variant<std::reference_wrapper<int>, std::reference_wrapper<double>,
                            std::reference_wrapper<std::string>>;

enum class ReadStatus { ok, error, end };

// ---- Layout (pure) ----------------------------------------------------------

// The records that a format writes for the items. Output ends at the first data
// descriptor without an item; items beyond the last descriptor start a new
// record with the format read again from its beginning.
//
// A number wider than its field widens the field (F fields of 1e15 and more
// turn to exponent form), and a number that fills its field gets one blank in
// front when it would otherwise run into a word or number before it. With
// carriageControl (console records), a number that fills the first column of
// a record gets a blank in front too, so that it is not taken as the record's
// control character.
std::vector<std::string> formatRecords(std::string_view format, std::span<const Item> items,
                                       bool carriageControl = false);

// The records of a free-form output statement: a leading blank, texts as they
// stand, integers in 11 columns, doubles in 24 columns with 15 significant
// digits, one blank before every number that is not the first item, and at
// most 79 columns per record. No items: one record holding the blank.
std::vector<std::string> freeFormRecords(std::span<const Item> items);

// A formatted record written into a text variable of the given length
// (an internal record): laid out by the same rules, padded or cut to length.
std::string internalRecord(std::string_view format, std::initializer_list<Item> items,
                           std::size_t length);

// A fixed-length text: shorter texts are padded with blanks, longer ones cut.
std::string fixedText(std::string_view text, std::size_t length);

// Fields of single descriptors, for the record layouts and their tests.
std::string formatInteger(int value, int width);
std::string formatFixed(double value, int width, int decimals, int scale = 0);
std::string formatExponent(double value, int width, int decimals, int scale = 0);

// Reads one line by a format. The targets are assigned only when the whole
// statement succeeds. A line with anything but blanks after the last field
// fails rather than being cut, and sets *tooLong when it is given.
ReadStatus readFormatted(std::string_view line, std::string_view format, std::span<const Target> targets,
                         bool* tooLong = nullptr);

// The columns that a format reads (the sum of its field widths).
int inputColumns(std::string_view format);

// Reads free-form values (separated by commas or blanks) from as many lines
// as needed; nextLine gives the following line, or nothing at end of input.
// A slash ends the statement and a null value (two commas) leaves its
// variable as it was. The rest of the last line read is passed over.
ReadStatus readFreeForm(const std::function<std::optional<std::string>()>& nextLine,
                        std::span<const Target> targets);

// ---- Channels ---------------------------------------------------------------

// The console: records with carriage control on output, whole lines on input.
class Console {
public:
    Console(std::istream& in, std::ostream& out);
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;
    ~Console();

    void write(std::string_view format, std::initializer_list<Item> items);
    void write(std::string_view format, std::span<const Item> items);
    void line(std::initializer_list<Item> items);
    void line(std::span<const Item> items);

    ReadStatus read(std::string_view format, std::initializer_list<Target> targets);
    // Whether the last formatted read failed because its line was longer
    // than the format's fields.
    bool lastReadTooLong() const { return lastReadTooLong_; }
    ReadStatus readFree(std::initializer_list<Target> targets);

    // Ends an open output line (before the program stops).
    void finish();

    // Whether the terminal shows UTF-8 (else a single-byte code page).
    void useUtf8(bool utf8) { utf8_ = utf8; }
    bool utf8() const { return utf8_; }

    // Makes this console the one that the numerical libraries' diagnostic
    // lines go to, for as long as it lives.
    void receiveDiagnostics();

private:
    void emit(const std::string& record);
    std::optional<std::string> nextLine();

    std::istream& in_;
    std::ostream& out_;
    bool atLineStart_ = true;
    bool utf8_ = false;
    bool lastReadTooLong_ = false;
};

// Whether the locale named by the environment (the first of LC_ALL, LC_CTYPE
// and LANG that is set and not empty) uses UTF-8: its codeset, after the dot,
// is "UTF-8" or "utf8" in any case. Null pointers stand for unset variables.
bool localeIsUtf8(const char* lcAll, const char* lcCtype, const char* lang);

// A text file written record by record, each record followed by CR LF.
class FileWriter {
public:
    // createNew fails when the file exists already.
    enum class Mode { overwrite, append, createNew };
    FileWriter(const std::string& path, Mode mode);

    bool isOpen() const;
    // Each statement reports whether its records reached the file.
    bool write(std::string_view format, std::initializer_list<Item> items);
    bool write(std::string_view format, std::span<const Item> items);
    bool line(std::initializer_list<Item> items);
    // False when the file cannot be closed or a record written earlier did
    // not reach it (a full disk, say).
    bool close();
    // Whether a record has failed to reach the file so far.
    bool failed() const { return failed_; }

private:
    bool put(const std::vector<std::string>& records);

    struct Closer {
        void operator()(std::FILE* f) const;
    };
    std::unique_ptr<std::FILE, Closer> handle_;
    bool failed_ = false;
};

// A file written in full before it reaches its target: the records go to a
// temporary file in the target's folder (named and locked as in
// temporary_files.h, so that one left by a killed run is removed by the
// next), and commit() then moves it into
// place (overwrite) or adds it to the end of the target (append). Without a
// commit the temporary file is removed and the target stays as it was.
class StagedFile {
public:
    StagedFile(const std::string& target, FileWriter::Mode mode);
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    // False when the temporary file cannot be created or the target is not
    // a file that can be written.
    bool isOpen() const;
    FileWriter& writer() { return writer_; }
    // False when the records could not be moved or added to the target; the
    // temporary file (temporaryPath()) then keeps them.
    bool commit();
    const std::string& temporaryPath() const { return temporary_; }

private:
    std::string target_;
    FileWriter::Mode mode_;
    std::string temporary_;
    FileWriter writer_;
    int lock_ = -1; // holds the temporary file's lock while it lives
    bool targetWritable_ = false;
    bool committed_ = false;
};

// A text file read line by line in free form.
class FileReader {
public:
    explicit FileReader(const std::string& path);

    bool isOpen() const;
    ReadStatus readFree(std::initializer_list<Target> targets);

private:
    std::optional<std::string> nextLine();

    struct Closer {
        void operator()(std::FILE* f) const;
    };
    std::unique_ptr<std::FILE, Closer> handle_;
};

} // namespace records
