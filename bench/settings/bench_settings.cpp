// The configuration file at sizes no user makes by hand but another program
// may: 40,000 keys of someone else's, 20,000 sections, one value just under
// the size limit, and a file beyond it. Each is read as at start, written
// once as a changed setting does, taken in again after another program
// rewrote it, and merged with such a rewrite when a setting changes before
// the rewrite is noticed; every figure is the median of a few runs.
#include "storage/SettingsFile.h"
#include "storage/SettingsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int runs = 5;
constexpr double fileTargetMs = 100;
// Two passes over the file: their rewrite merged in, then all of it written.
constexpr double mergeAndWriteTargetMs = 200;
constexpr double largestTargetMs = 500;
constexpr double refusedTargetMs = 10;
constexpr long peakTargetMb = 300;

struct Time {
    double wallMs = 0;
    double cpuMs = 0; // of this process: on a shared machine, what the code itself costs
};

double cpuNow() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

Time timed(const std::function<void()>& work) {
    QElapsedTimer timer;
    const double cpu = cpuNow();
    timer.start();
    work();
    return {double(timer.nsecsElapsed()) / 1e6, cpuNow() - cpu};
}

Time median(std::vector<Time> values) {
    std::sort(values.begin(), values.end(), [](Time a, Time b) { return a.wallMs < b.wallMs; });
    return values[values.size() / 2];
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

QByteArray manyKeys(int count, char variant) {
    QByteArray bytes = "[General]\nkeyboardSize=Full\n";
    for (int i = 0; i < count; ++i)
        bytes += "someoneElsesKey" + QByteArray::number(i) + '=' + variant + "-value\n";
    return bytes;
}

QByteArray manySections(int count, char variant) {
    QByteArray bytes = "[General]\nkeyboardSize=Full\n";
    for (int i = 0; i < count; ++i)
        bytes += "\n[section" + QByteArray::number(i) + "]\nk=" + variant + "\n";
    return bytes;
}

QByteArray oneLargeValue(qsizetype size, char variant) {
    const QByteArray head = "[General]\nkeyboardSize=Full\nlarge=@ByteArray(";
    return head + QByteArray(size - head.size() - 2, variant) + ")\n";
}

bool report(const char* what, Time time, double target) {
    std::printf("  %-34s %8.1f ms, processor %6.1f ms (reference: under %.0f ms) %s\n", what, time.wallMs,
                time.cpuMs, target, time.wallMs < target ? "ok" : "OVER");
    return time.wallMs < target;
}

bool measure(const char* name, const std::function<QByteArray(char)>& make, double target,
             double mergeAndWriteTarget) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("runeboard.conf"));
    std::vector<Time> load, write, merge, mergeAndWrite;
    qsizetype size = 0;
    for (int run = 0; run < runs; ++run) {
        const QByteArray first = make('a');
        size = first.size();
        writeFile(path, first);
        std::unique_ptr<SettingsStore> store;
        load.push_back(timed([&] {
            store = std::make_unique<SettingsStore>(path);
            QCoreApplication::processEvents();
        }));
        write.push_back(timed([&] {
            store->setValue(SettingKey::AppLanguage, run % 2 ? QStringLiteral("ru") : QStringLiteral("en"));
        }));
        writeFile(path, make('b'));
        merge.push_back(timed([&] { store->reload(); }));
        // Rewritten again, and a setting changed here before that is noticed.
        writeFile(path, make('a'));
        mergeAndWrite.push_back(
            timed([&] { store->setValue(SettingKey::KeyboardSize, QStringLiteral("Compact")); }));
    }
    std::printf("%s (%.2f MB)\n", name, double(size) / 1e6);
    bool ok = report("start", median(load), target);
    ok = report("write one setting", median(write), target) && ok;
    ok = report("take in another program's rewrite", median(merge), target) && ok;
    return report("write one setting over a rewrite", median(mergeAndWrite), mergeAndWriteTarget) && ok;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("bench_settings: medians of %d runs\n", runs);
    const auto keys = [](char v) { return manyKeys(40000, v); };
    const auto sections = [](char v) { return manySections(20000, v); };
    const auto large = [](char v) { return oneLargeValue(SettingsFile::maximumBytes - 1024, v); };
    bool ok = measure("40,000 unknown keys", keys, fileTargetMs, mergeAndWriteTargetMs);
    ok = measure("20,000 sections", sections, fileTargetMs, mergeAndWriteTargetMs) && ok;
    ok = measure("one value just under the size limit", large, largestTargetMs, largestTargetMs) && ok;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("runeboard.conf"));
    writeFile(path, oneLargeValue(50 * 1000 * 1000, 'a'));
    std::printf("one 50 MB value, beyond the limit (refused, in memory; its one line follows)\n");
    std::fflush(stdout);
    const Time refused = timed([&] {
        SettingsStore store(path);
        QCoreApplication::processEvents();
    });
    ok = report("start", refused, refusedTargetMs) && ok;

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const long peakMb = usage.ru_maxrss / 1024;
    std::printf("peak resident memory of the whole run: %ld MB (reference: under %ld MB) %s\n", peakMb,
                peakTargetMb, peakMb < peakTargetMb ? "ok" : "OVER");
    return ok && peakMb < peakTargetMb ? 0 : 1;
}
