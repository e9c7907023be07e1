// zip_bench [WORK_DIR]: makes a package-like tree of about 90 MB and times, on the same files,
// the ZIP writer sequential and with workers packing ahead, the floor (raw deflate level 8 and
// CRC-32 with the same buffers, one thread) and Info-ZIP's "zip -8 -r". Checks that both
// writers give the same bytes and reports the peak resident size after a small and after the
// full tree. Then the peak resident size of one writer process, sequential and with workers,
// for the full tree and for one folder of 100,000 small files.
// zip_bench --memory [WORK_DIR]: the peak resident sizes only.
// zip_bench --peak SOURCE ARCHIVE WORKERS: one writer run, for the parent to measure.
// zip_bench --peak-of SOURCE ARCHIVE WORKERS: starts that run and prints its peak; being a
// fresh, small process, its child starts small too (a child inherits the high-water mark of
// the process it is spawned from).
#include <spawn.h>
#include <sys/types.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "archive/zip_directory_tree.h"
#include "archive/zip_format.h"
#include "common/console.h"

namespace {

namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr std::size_t kBuffer = 16384;

class NullConsole final : public qor::Console {
public:
    void Write(std::wstring_view) override {}
    int ReadByte() override { return qor::kEndOfInput; }
};

class Generator {
public:
    explicit Generator(stdfs::path root) : root_(std::move(root)) {}

    void LogFile(const std::string& name, std::size_t size) {
        static const char* kLoggers[] = {"QOR.QORFW", "QOR.TDI", "QOR.QORFW.Sys.OsAdapters",
                                         "QOR.QORFW.Rules", "QOR.QORFW.Net"};
        static const char* kSeverities[] = {"INFO ", "DEBUG", "WARN ", "ERROR"};
        Write(name, size, [&](std::string& out) {
            char line[256];
            ++clock_;
            std::snprintf(line, sizeof line,
                          "2024-05-06 %02u:%02u:%02u.%03u [%5u] %s %-26s conn %u.%u.%u.%u:%u -> "
                          "port %u rule %u bytes=%u\r\n",
                          static_cast<unsigned>(clock_ / 3600000 % 24),
                          static_cast<unsigned>(clock_ / 60000 % 60),
                          static_cast<unsigned>(clock_ / 1000 % 60),
                          static_cast<unsigned>(clock_ % 1000), Pick(4000),
                          kSeverities[Pick(4)], kLoggers[Pick(5)], 10 + Pick(3), Pick(256),
                          Pick(256), Pick(256), 1024 + Pick(60000), Pick(1024), Pick(300),
                          Pick(1u << 20));
            out += line;
        });
    }

    void InfFile(const std::string& name, std::size_t size) {
        Write(name, size, [&](std::string& out) {
            char line[200];
            std::snprintf(line, sizeof line,
                          "HKR,Ndi\\Params\\Param%u,ParamDesc,,\"Setting %u\"\r\n"
                          "%%DeviceDesc%u%% = Install_%u, PCI\\VEN_%04X&DEV_%04X\r\n",
                          Pick(500), Pick(500), Pick(50), Pick(50), Pick(65536), Pick(65536));
            out += line;
        });
    }

    // Like machine code: runs of zeros, a small alphabet and some noise.
    void BinaryFile(const std::string& name, std::size_t size) {
        Write(name, size, [&](std::string& out) {
            const unsigned kind = Pick(4);
            const std::size_t run = 16 + Pick(240);
            for (std::size_t i = 0; i < run; ++i) {
                out += static_cast<char>(kind == 0   ? 0
                                         : kind == 1 ? 0x40 + Pick(16)
                                                     : Pick(256));
            }
        });
    }

    void NoiseFile(const std::string& name, std::size_t size) {
        Write(name, size, [&](std::string& out) {
            for (int i = 0; i < 64; ++i) out += static_cast<char>(Pick(256));
        });
    }

private:
    unsigned Pick(unsigned range) { return static_cast<unsigned>(random_() % range); }

    void Write(const std::string& name, std::size_t size,
               const std::function<void(std::string&)>& more) {
        const stdfs::path path = root_ / name;
        stdfs::create_directories(path.parent_path());
        std::ofstream file(path, std::ios::binary);
        std::string chunk;
        std::size_t written = 0;
        while (written < size) {
            chunk.clear();
            while (chunk.size() < 65536) more(chunk);
            const std::size_t take = std::min(chunk.size(), size - written);
            file.write(chunk.data(), static_cast<std::streamsize>(take));
            written += take;
        }
    }

    stdfs::path root_;
    std::mt19937 random_{20240506};
    std::uint64_t clock_ = 0;
};

// One folder of `count` small log files, a few hundred bytes each.
void MakeWideFolder(const stdfs::path& folder, std::size_t count) {
    stdfs::create_directories(folder);
    std::mt19937 random(20240507);
    for (std::size_t i = 0; i < count; ++i) {
        std::ofstream file(folder / ("fw" + std::to_string(i) + ".log"), std::ios::binary);
        for (unsigned line = 0, lines = 2 + random() % 6; line < lines; ++line) {
            file << "2024-05-06 10:" << random() % 60 << " [" << random() % 4000
                 << "] INFO QOR.QORFW conn " << random() % 65536 << "\r\n";
        }
    }
}

void MakeTree(const stdfs::path& root, std::size_t scale) {
    Generator g(root);
    for (std::size_t i = 0; i < 2 * scale; ++i) {
        g.LogFile("logs/fw" + std::to_string(i) + ".log", 3 << 20);
    }
    for (std::size_t i = 0; i < 20 * scale; ++i) {
        g.InfFile("inf/oem" + std::to_string(i) + ".inf", 40 << 10);
    }
    for (const char* name : {"bin/qorfw.sys", "bin/qorcore.dll", "bin/fwsvc.exe"}) {
        g.BinaryFile(name, 400 * scale << 10);
    }
    g.NoiseFile("dumps/crash.zip", 800 * scale << 10);  // already compressed
    std::ofstream(root / "tdidump.txt") << "report\r\n";
}

std::vector<stdfs::path> FilesOf(const stdfs::path& root) {
    std::vector<stdfs::path> files;
    for (const auto& entry : stdfs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    return files;
}

// What the writer cannot avoid: read, CRC-32 and deflate (or CRC-32 alone for stored names).
std::uint64_t Floor(const std::vector<stdfs::path>& files) {
    z_stream stream{};
    deflateInit2(&stream, 8, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<unsigned char> in(kBuffer), out(kBuffer);
    std::uint64_t packed = 0;
    for (const auto& path : files) {
        const bool stored = qor::zip::IsStoredName(path.filename().wstring());
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::setvbuf(file, nullptr, _IONBF, 0);
        deflateReset(&stream);
        uLong crc = crc32(0, nullptr, 0);
        int flush = Z_NO_FLUSH;
        while (flush != Z_FINISH) {
            const std::size_t read = std::fread(in.data(), 1, kBuffer, file);
            crc = crc32(crc, in.data(), static_cast<uInt>(read));
            flush = read == 0 ? Z_FINISH : Z_NO_FLUSH;
            if (stored) {
                packed += read;
                continue;
            }
            stream.next_in = in.data();
            stream.avail_in = static_cast<uInt>(read);
            do {
                stream.next_out = out.data();
                stream.avail_out = kBuffer;
                deflate(&stream, flush);
                packed += kBuffer - stream.avail_out;
            } while (stream.avail_out == 0);
        }
        std::fclose(file);
        packed += crc & 1;  // keep the CRC live
    }
    deflateEnd(&stream);
    return packed;
}

int RunInfoZip(const stdfs::path& root, const stdfs::path& archive) {
    stdfs::remove(archive);
    const std::string target = archive.string();
    const char* argv[] = {"zip", "-8", "-r", "-q", "-n", ".Z:.zip:.zoo:.arc:.lzh:.arj:.gz:.tgz",
                          target.c_str(), ".", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, root.c_str());
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "zip", &actions, nullptr, const_cast<char**>(argv),
                                     environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string ReadAll(const stdfs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Folder entries carry the clock: the same reading for every run, so archives compare.
qor::zip::ClockReading FixedClock() { return {133600000000000000, 133600000000000000}; }

// Peak resident size of a child running `argv`; -1 when it fails.
long ChildPeakKiB(const char* const* argv) {
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        return -1;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss;
}

// Peak resident size of one writer over `source`, in a process that starts small: a fresh
// "--peak-of" process spawns the writer and prints what it measured.
long WriterPeakKiB(const stdfs::path& source, const stdfs::path& archive,
                   unsigned threads) {
    const std::string from = source.string(), to = archive.string();
    const std::string count = std::to_string(threads);
    const char* argv[] = {"/proc/self/exe", "--peak-of", from.c_str(), to.c_str(), count.c_str(),
                          nullptr};
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv),
                                    environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::string answer;
    char chunk[64];
    for (ssize_t got; spawned == 0 && (got = read(pipeFds[0], chunk, sizeof chunk)) > 0;) {
        answer.append(chunk, static_cast<std::size_t>(got));
    }
    close(pipeFds[0]);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1;
    }
    return std::strtol(answer.c_str(), nullptr, 10);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The timed rounds, and the peak resident size of this process along them.
void Timings(const stdfs::path& work, const stdfs::path& full, unsigned workers) {
    const stdfs::path small = work / "small";
    MakeTree(small, 1);
    const auto files = FilesOf(full);
    std::uint64_t bytes = 0;
    for (const auto& f : files) bytes += stdfs::file_size(f);
    std::printf("tree: %zu files, %.1f MB\n", files.size(), bytes / 1e6);
    const long rssStart = PeakRssKiB();

    NullConsole console;
    const auto zipTree = [&](const stdfs::path& source, const stdfs::path& archive,
                             unsigned threads) {
        qor::zip::ZipOptions options{.clock = FixedClock};
        options.workers = threads;
        if (qor::ZipDirectoryTree(source.wstring(), archive.wstring(), false, console,
                                  qor::SleepMilliseconds, options) != 0) {
            std::fprintf(stderr, "writer failed\n");
            std::exit(1);
        }
    };
    zipTree(small, work / "small.zip", 0);
    zipTree(small, work / "small.zip", workers);
    const long rssSmall = PeakRssKiB();
    Floor(files);  // warm the page cache
    std::vector<double> writer, parallel, floor, infoZip;
    for (int round = 0; round < 5; ++round) {
        writer.push_back(Seconds([&] { zipTree(full, work / "full.zip", 0); }));
        parallel.push_back(Seconds([&] { zipTree(full, work / "parallel.zip", workers); }));
        floor.push_back(Seconds([&] { Floor(files); }));
        infoZip.push_back(Seconds([&] {
            if (RunInfoZip(full, work / "infozip.zip") != 0) std::fprintf(stderr, "zip failed\n");
        }));
    }
    const long rssFull = PeakRssKiB();
    const double w = Median(writer), p = Median(parallel), f = Median(floor), z = Median(infoZip);
    std::printf("writer    %.3f s  (%.1f MB/s)  archive %.1f MB\n", w, bytes / 1e6 / w,
                stdfs::file_size(work / "full.zip") / 1e6);
    std::printf("parallel  %.3f s  (%.1f MB/s)  %u workers, parallel/floor %.3f\n", p,
                bytes / 1e6 / p, workers, p / f);
    std::printf("identical %s\n",
                ReadAll(work / "full.zip") == ReadAll(work / "parallel.zip") ? "yes" : "NO");
    std::printf("floor     %.3f s  writer/floor %.3f\n", f, w / f);
    std::printf("zip -8 -r %.3f s  writer/zip   %.3f  archive %.1f MB\n", z, w / z,
                stdfs::file_size(work / "infozip.zip") / 1e6);
    std::printf("peak RSS  %ld KiB before, %ld KiB after the small tree, %ld KiB after the full\n",
                rssStart, rssSmall, rssFull);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--peak") {
        NullConsole console;
        qor::zip::ZipOptions options{.clock = FixedClock};
        options.workers = static_cast<unsigned>(std::stoul(argv[4]));
        const stdfs::path source = argv[2], archive = argv[3];
        return qor::ZipDirectoryTree(source.wstring(), archive.wstring(), false, console,
                                     qor::SleepMilliseconds, options) == 0
                   ? 0
                   : 1;
    }
    if (argc == 5 && std::string(argv[1]) == "--peak-of") {
        const char* child[] = {"/proc/self/exe", "--peak", argv[2], argv[3], argv[4], nullptr};
        const long peak = ChildPeakKiB(child);
        std::printf("%ld\n", peak);
        return peak < 0 ? 1 : 0;
    }
    const bool memoryOnly = argc > 1 && std::string(argv[1]) == "--memory";
    const int workArg = memoryOnly ? 2 : 1;
    const stdfs::path work = argc > workArg ? stdfs::path(argv[workArg])
                                            : stdfs::temp_directory_path() / "qor-zip-bench";
    stdfs::remove_all(work);
    const stdfs::path full = work / "full";
    MakeTree(full, 10);
    const unsigned workers = std::max(2u, std::thread::hardware_concurrency());
    if (!memoryOnly) Timings(work, full, workers);

    // The wide folder passes the format's 65535 entries: the rest are refused one by one.
    constexpr std::size_t kWideFiles = 100000;
    MakeWideFolder(work / "wide" / "logs", kWideFiles);
    std::printf("peak RSS of one writer process (KiB)   sequential  parallel (%u workers)\n",
                workers);
    const auto peaks = [&](const char* label, const stdfs::path& source) {
        std::printf("  %-36s %10ld  %8ld\n", label,
                    WriterPeakKiB(source, work / "peak.zip", 0),
                    WriterPeakKiB(source, work / "peak.zip", workers));
    };
    peaks("full tree", full);
    peaks("one folder of 100000 small files", work / "wide");
    stdfs::remove_all(work);
    return 0;
}
