// Reading lines of text whatever their line-end convention, and opening and recognising the
// files that are read: only regular files, told apart from UTF-16 and binary files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "TqText/TqText.h"

namespace {

// After a CR or LF: CR LF and LF CR end one line; CR CR and LF LF end two.
// getc_unlocked throughout: each stream is read by one thread only, so the lock that getc takes for
// every character buys nothing.
void ConsumeLineEnd(int c, FILE* fp) {
    int next = getc_unlocked(fp);
    if (next != EOF && (next == c || (next != '\r' && next != '\n'))) ungetc(next, fp);
}

// Reads at most size - 1 characters of one line into buf (a line end is stored as '\n');
// returns the number stored and whether the line ended (line end or end of input).
int ReadPiece(char* buf, int size, FILE* fp, bool* ended) {
    int consumed = 0, stored = 0;
    *ended = false;
    while (consumed < size - 1) {
        int c = getc_unlocked(fp);
        if (c == EOF) {
            *ended = true;
            break;
        }
        consumed++;
        // 0x1A, the end-of-file mark of old DOS editors, is dropped wherever it stands (it still
        // counts against the size of the piece).
        if (c == 0x1A) continue;
        if (c == '\r' || c == '\n') {
            buf[stored++] = '\n';
            ConsumeLineEnd(c, fp);
            *ended = true;
            break;
        }
        buf[stored++] = (char)c;
    }
    if (size > 0) buf[stored] = '\0';
    return stored;
}

}  // namespace

char* Tqfgets(char* buf, int size, FILE* fp) {
    bool ended;
    int stored = ReadPiece(buf, size, fp, &ended);
    // Nothing stored is the end of the input (an empty line still stores its '\n'); a read error
    // ends the file too, rather than passing off half a line.
    if (stored == 0 || ferror(fp)) return nullptr;
    return buf;
}

char* TqReadLine(char* buf, int size, FILE* fp, LineRead* info) {
    *info = LineRead{};
    bool ended;
    int stored = ReadPiece(buf, size, fp, &ended);
    if (stored == 0 || ferror(fp)) return nullptr;
    // A NUL byte ends the text for every string function after this; the caller is told, so that
    // the line is reported rather than silently shortened.
    info->hasNul = memchr(buf, '\0', (size_t)stored) != nullptr;
    info->length = (size_t)stored - (buf[stored - 1] == '\n' ? 1 : 0);
    if (ended) return buf;
    // The rest of an overlong line is read and dropped, so that it never passes for lines of
    // its own: a long comment could otherwise end in text that reads as geometry. A line that
    // exactly fills the buffer has only its line end left here and is not cut.
    for (;;) {
        int c = getc_unlocked(fp);
        if (c == EOF) break;
        if (c == 0x1A) continue;
        if (c == '\r' || c == '\n') {
            ConsumeLineEnd(c, fp);
            break;
        }
        info->cut = true;
        info->length++;
    }
    return buf;
}

void SkipUtf8Bom(char* line) {
    if (memcmp(line, "\xEF\xBB\xBF", 3) == 0) memmove(line, line + 3, strlen(line + 3) + 1);
}

FileKind SniffFile(FILE* fp) {
    // One block is enough to tell the kinds apart. pread leaves the stream's position and buffer
    // alone, so nothing needs rewinding (a rewind would throw the buffer away and read it twice).
    unsigned char head[4096];
    ssize_t got = pread(fileno(fp), head, sizeof(head), 0);
    size_t n = got > 0 ? (size_t)got : 0;
    if (n >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF)))
        return FileKind::kUtf16;
    // Without a byte-order mark, text in UTF-16 shows as letters alternating with zero bytes.
    if (n >= 4) {
        size_t pairs = n / 2 < 32 ? n / 2 : 32, little = 0, big = 0;
        for (size_t i = 0; i < pairs; i++) {
            little += head[2 * i] != 0 && head[2 * i + 1] == 0;
            big += head[2 * i] == 0 && head[2 * i + 1] != 0;
        }
        if (little == pairs || big == pairs) return FileKind::kUtf16;
    }
    // Images, archives, compressed files and executables passed by mistake: their bytes would
    // otherwise be read as LDraw lines, one fault after another.
    static const struct {
        const char* bytes;
        size_t length;
    } kSignatures[] = {{"\x89PNG", 4},
                       {"\xFF\xD8\xFF", 3},
                       {"GIF8", 4},
                       {"PK\x03\x04", 4},
                       {"%PDF", 4},
                       {"\x1F\x8B", 2},
                       {"\x7F"
                        "ELF",
                        4},
                       {"BZh", 3},
                       {"\xFD"
                        "7zXZ",
                        5},
                       {"Rar!", 4}};
    for (const auto& signature : kSignatures) {
        if (n >= signature.length && memcmp(head, signature.bytes, signature.length) == 0)
            return FileKind::kBinary;
    }
    return memchr(head, '\0', n) ? FileKind::kTextWithNul : FileKind::kText;
}

FILE* OpenRegularFile(const char* path) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer forever.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // A directory, FIFO or device (/dev/zero reads without end) is never an input file.
        close(fd);
        errno = EINVAL;
        return nullptr;
    }
    // Back to blocking reads for the regular file, so that stdio never sees EAGAIN. O_NONBLOCK is
    // the only status flag set at open, so clearing them all clears just that one.
    fcntl(fd, F_SETFL, 0);
    FILE* fp = fdopen(fd, "r");
    if (!fp) close(fd);
    return fp;
}
