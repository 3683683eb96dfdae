// Channels of the record layer: the console with its carriage control, and
// sequential text files.
#include "records/records.h"

#include "records/temporary_files.h"

#include <cctype>
#include <filesystem>
#include <unistd.h>
#include <istream>
#include <ostream>

namespace records {

namespace {

Console* diagnosticsConsole = nullptr;

void writeDiagnostic(std::string_view format, std::initializer_list<Item> items)
{
    if (!diagnosticsConsole) return;
    if (format.empty())
        diagnosticsConsole->line(std::span<const Item>(items.begin(), items.size()));
    else
        diagnosticsConsole->write(format, items);
}

void stripCarriageReturn(std::string& line)
{
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

} // namespace

// ---- Console ------------------------------------------------------------------

Console::Console(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

Console::~Console()
{
    if (diagnosticsConsole == this) {
        diagnosticsConsole = nullptr;
        diag::install(nullptr);
    }
}

void Console::receiveDiagnostics()
{
    diagnosticsConsole = this;
    diag::install(&writeDiagnostic);
}

// The first character of a record is its carriage control: the line advance
// belongs to the start of the record, so the last record stays open.
void Console::emit(const std::string& record)
{
    const char control = record.empty() ? ' ' : record[0];
    switch (control) {
    case '0':
        out_ << (atLineStart_ ? "\r\n" : "\r\n\r\n");
        break;
    case '1':
        out_ << "\r\n\f\r \r";
        break;
    case '+':
        out_ << '\r';
        break;
    default:
        if (!atLineStart_) out_ << "\r\n";
        break;
    }
    if (!record.empty()) out_ << std::string_view(record).substr(1);
    atLineStart_ = false;
    out_.flush();
}

void Console::write(std::string_view format, std::initializer_list<Item> items)
{
    write(format, std::span<const Item>(items.begin(), items.size()));
}

void Console::write(std::string_view format, std::span<const Item> items)
{
    for (const std::string& record : formatRecords(format, items, true)) emit(record);
}

void Console::line(std::initializer_list<Item> items)
{
    line(std::span<const Item>(items.begin(), items.size()));
}

void Console::line(std::span<const Item> items)
{
    for (const std::string& record : freeFormRecords(items)) emit(record);
}

void Console::finish()
{
    if (!atLineStart_) out_ << "\r\n";
    atLineStart_ = true;
    out_.flush();
}

// Every answer is typed on the line below its prompt.
std::optional<std::string> Console::nextLine()
{
    finish();
    std::string line;
    if (!std::getline(in_, line)) return std::nullopt;
    stripCarriageReturn(line);
    return line;
}

ReadStatus Console::read(std::string_view format, std::initializer_list<Target> targets)
{
    lastReadTooLong_ = false;
    const std::optional<std::string> line = nextLine();
    if (!line) return ReadStatus::end;
    return readFormatted(*line, format, std::span<const Target>(targets.begin(), targets.size()),
                         &lastReadTooLong_);
}

ReadStatus Console::readFree(std::initializer_list<Target> targets)
{
    return readFreeForm([this] { return nextLine(); },
                        std::span<const Target>(targets.begin(), targets.size()));
}

bool localeIsUtf8(const char* lcAll, const char* lcCtype, const char* lang)
{
    const char* name = nullptr;
    for (const char* v : {lcAll, lcCtype, lang}) {
        if (v && *v) {
            name = v;
            break;
        }
    }
    if (!name) return false;
    std::string_view codeset(name);
    const std::size_t dot = codeset.find('.');
    if (dot == std::string_view::npos) return false;
    codeset = codeset.substr(dot + 1);
    codeset = codeset.substr(0, codeset.find('@'));
    std::string folded;
    for (char c : codeset)
        if (c != '-') folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded == "utf8";
}

// ---- Files --------------------------------------------------------------------

void FileWriter::Closer::operator()(std::FILE* f) const
{
    std::fclose(f);
}

void FileReader::Closer::operator()(std::FILE* f) const
{
    std::fclose(f);
}

namespace {

const char* openMode(FileWriter::Mode mode)
{
    switch (mode) {
    case FileWriter::Mode::append:
        return "ab";
    case FileWriter::Mode::createNew:
        return "wbx";
    default:
        return "wb";
    }
}

} // namespace

FileWriter::FileWriter(const std::string& path, Mode mode) : handle_(std::fopen(path.c_str(), openMode(mode))) {}

bool FileWriter::isOpen() const
{
    return handle_ != nullptr;
}

// Records go out as they are written, so a run stopped early keeps them.
bool FileWriter::put(const std::vector<std::string>& records)
{
    if (!handle_) return false;
    bool ok = true;
    for (const std::string& record : records) {
        ok = std::fwrite(record.data(), 1, record.size(), handle_.get()) == record.size() && ok;
        ok = std::fwrite("\r\n", 1, 2, handle_.get()) == 2 && ok;
    }
    ok = std::fflush(handle_.get()) == 0 && ok;
    failed_ = failed_ || !ok;
    return ok;
}

bool FileWriter::write(std::string_view format, std::initializer_list<Item> items)
{
    return put(formatRecords(format, items));
}

bool FileWriter::write(std::string_view format, std::span<const Item> items)
{
    return put(formatRecords(format, items));
}

bool FileWriter::line(std::initializer_list<Item> items)
{
    return put(freeFormRecords(items));
}

bool FileWriter::close()
{
    if (!handle_) return false;
    return std::fclose(handle_.release()) == 0 && !failed_;
}

// ---- Staged files ---------------------------------------------------------------

namespace {

namespace fs = std::filesystem;

// A new, empty temporary file in the folder of the target, locked through
// `lock` so that a later run does not take it for one left by a killed run.
std::string createTemporary(const fs::path& target, FileWriter& writer, int& lock)
{
    // The permissions that a new file gets, as the target will be one.
    const std::optional<records::TemporaryFile> file = records::createTemporaryFile(target, 0666);
    if (!file) return {};
    writer = FileWriter(file->path, FileWriter::Mode::overwrite);
    if (!writer.isOpen()) {
        ::close(file->fd);
        std::error_code ec;
        fs::remove(file->path, ec);
        return {};
    }
    lock = file->fd;
    return file->path;
}

// Whether the target can take the records: a missing file (its folder is
// checked by creating the temporary file), or a regular file that opens for
// appending (which leaves its contents alone).
bool writableTarget(const fs::path& target)
{
    std::error_code ec;
    if (!fs::exists(target, ec)) return true;
    if (!fs::is_regular_file(target, ec)) return false;
    std::FILE* f = std::fopen(target.c_str(), "ab");
    if (!f) return false;
    std::fclose(f);
    return true;
}

bool appendFile(const std::string& from, const fs::path& to)
{
    std::FILE* in = std::fopen(from.c_str(), "rb");
    if (!in) return false;
    std::FILE* out = std::fopen(to.c_str(), "ab");
    bool ok = out != nullptr;
    char buffer[1 << 16];
    std::size_t n;
    while (ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) ok = std::fwrite(buffer, 1, n, out) == n;
    ok = ok && !std::ferror(in);
    std::fclose(in);
    if (out) ok = std::fclose(out) == 0 && ok;
    return ok;
}

} // namespace

StagedFile::StagedFile(const std::string& target, FileWriter::Mode mode)
    : target_(records::resolvedTarget(target).string()), mode_(mode), writer_(std::string(), FileWriter::Mode::createNew)
{
    targetWritable_ = writableTarget(target_);
    if (targetWritable_) temporary_ = createTemporary(target_, writer_, lock_);
}

StagedFile::~StagedFile()
{
    if (!committed_ && !temporary_.empty()) {
        writer_.close();
        std::error_code ec;
        fs::remove(temporary_, ec);
    }
    if (lock_ >= 0) ::close(lock_);
}

bool StagedFile::isOpen() const
{
    return targetWritable_ && writer_.isOpen();
}

bool StagedFile::commit()
{
    if (!isOpen()) return false;
    committed_ = true;
    if (!writer_.close()) return false;
    std::error_code ec;
    if (mode_ == FileWriter::Mode::append && fs::exists(target_, ec)) {
        if (!appendFile(temporary_, target_)) return false;
        fs::remove(temporary_, ec);
        return true;
    }
    fs::rename(temporary_, target_, ec);
    return !ec;
}

FileReader::FileReader(const std::string& path) : handle_(std::fopen(path.c_str(), "rb")) {}

bool FileReader::isOpen() const
{
    return handle_ != nullptr;
}

std::optional<std::string> FileReader::nextLine()
{
    if (!handle_) return std::nullopt;
    std::string line;
    int c;
    while ((c = std::fgetc(handle_.get())) != EOF && c != '\n') line += static_cast<char>(c);
    if (c == EOF && line.empty()) return std::nullopt;
    stripCarriageReturn(line);
    return line;
}

ReadStatus FileReader::readFree(std::initializer_list<Target> targets)
{
    return readFreeForm([this] { return nextLine(); },
                        std::span<const Target>(targets.begin(), targets.size()));
}

} // namespace records
