// File operations of the simulated machine against the same work done with
// plain POSIX calls on the same host folders: creating folders, copying,
// enumerating and deleting files. Prints operations per second and the ratio.
//
//   bench_files [COUNT]     (default 2000 files per round)
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/Handles.h"
#include "platform/sim/SimMachine.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool PosixCopy(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        ::close(in);
        return false;
    }
    char buffer[64 * 1024];
    ssize_t n;
    bool ok = true;
    while ((n = ::read(in, buffer, sizeof buffer)) > 0)
        ok = ok && ::write(out, buffer, static_cast<std::size_t>(n)) == n;
    ::close(in);
    ::close(out);
    return ok && n == 0;
}

struct Row {
    const char* name;
    double simSeconds = 0;
    double posixSeconds = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (count <= 0) {
        std::fprintf(stderr, "usage: bench_files [COUNT]\n");
        return 1;
    }
    char dir[] = "/tmp/bench-files-XXXXXX";
    if (::mkdtemp(dir) == nullptr) return 1;
    const std::string prefix = dir;
    int failures = 0;
    std::vector<Row> rows;
    {
        plat::SimMachine machine(prefix);
        std::string error;
        if (!machine.Init(&error)) {
            std::fprintf(stderr, "bench_files: %s\n", error.c_str());
            return 1;
        }
        plat::SimPlatform& sim = machine.Platform();
        machine.WriteFile("C:\\bench\\Source.dat", std::string(4096, 's'));
        const std::string hostBench = machine.HostPath("C:\\bench");
        machine.MakeDirectory("C:\\bench\\Sim");
        ::mkdir((hostBench + "/posix").c_str(), 0777);

        Row mkdirs{"CreateDirectoryA / mkdir"};
        mkdirs.simSeconds = Seconds([&] {
            for (int i = 0; i < count; ++i)
                failures += !sim.CreateDirectoryA(("C:\\bench\\Sim\\Folder" + std::to_string(i)).c_str());
        });
        mkdirs.posixSeconds = Seconds([&] {
            for (int i = 0; i < count; ++i)
                failures += ::mkdir((hostBench + "/posix/Folder" + std::to_string(i)).c_str(), 0777) != 0;
        });
        rows.push_back(mkdirs);

        Row copies{"CopyFileA / open+read+write"};
        copies.simSeconds = Seconds([&] {
            for (int i = 0; i < count; ++i)
                failures +=
                    !sim.CopyFileA("C:\\bench\\source.dat",
                                   ("C:\\bench\\Sim\\File" + std::to_string(i) + ".dat").c_str(), false);
        });
        copies.posixSeconds = Seconds([&] {
            for (int i = 0; i < count; ++i)
                failures += !PosixCopy(hostBench + "/Source.dat",
                                       hostBench + "/posix/File" + std::to_string(i) + ".dat");
        });
        rows.push_back(copies);

        // Enumerating the folder of 2 * count entries, ten times.
        Row finds{"FindFirst/NextFileA / readdir (per entry)"};
        std::size_t simEntries = 0, posixEntries = 0;
        finds.simSeconds = Seconds([&] {
            for (int round = 0; round < 10; ++round) {
                plat::FindData data;
                const plat::Handle h = sim.FindFirstFileA("C:\\bench\\Sim\\*.dat", data);
                if (h == plat::kInvalidHandle) {
                    ++failures;
                    continue;
                }
                do {
                    ++simEntries;
                } while (sim.FindNextFileA(h, data));
                sim.FindClose(h);
            }
        });
        finds.posixSeconds = Seconds([&] {
            for (int round = 0; round < 10; ++round) {
                DIR* d = ::opendir((hostBench + "/posix").c_str());
                if (d == nullptr) {
                    ++failures;
                    continue;
                }
                while (dirent* e = ::readdir(d)) {
                    const std::string name = e->d_name;
                    struct stat st;
                    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dat") == 0 &&
                        ::stat((hostBench + "/posix/" + name).c_str(), &st) == 0) {
                        ++posixEntries;
                    }
                }
                ::closedir(d);
            }
        });
        if (simEntries != posixEntries) ++failures;
        // Per entry, so that the ratio compares like with like.
        finds.simSeconds /= static_cast<double>(simEntries ? simEntries : 1) / count;
        finds.posixSeconds /= static_cast<double>(posixEntries ? posixEntries : 1) / count;
        rows.push_back(finds);

        Row attributes{"GetFileAttributesA / stat"};
        attributes.simSeconds = Seconds([&] {
            for (int i = 0; i < count; ++i)
                failures +=
                    sim.GetFileAttributesA(("C:\\bench\\Sim\\File" + std::to_string(i) + ".dat").c_str()) ==
                    plat::kInvalidFileAttributes;
        });
        attributes.posixSeconds = Seconds([&] {
            struct stat st;
            for (int i = 0; i < count; ++i)
                failures +=
                    ::stat((hostBench + "/posix/File" + std::to_string(i) + ".dat").c_str(), &st) != 0;
        });
        rows.push_back(attributes);

        Row deletes{"DeleteFileA / unlink"};
        deletes.simSeconds = Seconds([&] {
            for (int i = 0; i < count; ++i)
                failures += !sim.DeleteFileA(("C:\\bench\\Sim\\File" + std::to_string(i) + ".dat").c_str());
        });
        deletes.posixSeconds = Seconds([&] {
            for (int i = 0; i < count; ++i)
                failures += ::unlink((hostBench + "/posix/File" + std::to_string(i) + ".dat").c_str()) != 0;
        });
        rows.push_back(deletes);

        Row rmdirs{"RemoveDirectoryA / rmdir"};
        rmdirs.simSeconds = Seconds([&] {
            for (int i = 0; i < count; ++i)
                failures += !sim.RemoveDirectoryA(("C:\\bench\\Sim\\Folder" + std::to_string(i)).c_str());
        });
        rmdirs.posixSeconds = Seconds([&] {
            for (int i = 0; i < count; ++i)
                failures += ::rmdir((hostBench + "/posix/Folder" + std::to_string(i)).c_str()) != 0;
        });
        rows.push_back(rmdirs);
    }
    std::error_code ec;
    std::filesystem::remove_all(prefix, ec);

    std::printf("%-44s %14s %14s %8s\n", "operation (sim / posix)", "sim ops/s", "posix ops/s", "ratio");
    for (const Row& r : rows) {
        const double simRate = count / r.simSeconds;
        const double posixRate = count / r.posixSeconds;
        std::printf("%-44s %14.0f %14.0f %7.1fx\n", r.name, simRate, posixRate, posixRate / simRate);
    }
    std::printf("(%d operations each; ratio = how many times slower the simulated call is)\n", count);
    if (failures != 0) {
        std::fprintf(stderr, "bench_files: %d operations failed\n", failures);
        return 1;
    }
    return 0;
}
