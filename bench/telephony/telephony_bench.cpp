// The call monitor polls ten times a second for the program's whole life, so a poll without a call
// must cost no more than the registry reads it needs; reported against one reg_read_dword in the
// same run. A caller lookup runs at the start of every recording and scans every vCard; reported
// against merely reading the same files' bytes.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "os/registry.h"
#include "telephony/call_state.h"
#include "telephony/contacts/contacts_session.h"
#include "telephony/phone_state.h"
#include "tests/support/temp_folder.h"

namespace {

struct Root {
    Root() {
        path = scratch.path();
        contacts = path + "/contacts";
        ::mkdir(contacts.c_str(), 0755);
        env.set("QUILLON_CONTACTS", contacts);
        const std::string photo(27000, 'Q');  // about 20 kB of picture in base64
        for (int i = 0; i < 500; ++i) {
            std::ofstream out(contacts + "/contact-" + std::to_string(1000 + i) + ".vcf");
            out << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Contact " << i << "\r\nTEL;TYPE=CELL:+44 20 7946 " << 1000 + i
                << "\r\nTEL;TYPE=HOME:(020) 8000-" << 1000 + i << "\r\n";
            if (i % 10 == 0) {
                out << "PHOTO;ENCODING=b;TYPE=JPEG:";
                for (size_t at = 0; at < photo.size(); at += 74) out << photo.substr(at, 74) << "\r\n ";
                out << "\r\n";
            }
            out << "END:VCARD\r\n";
        }
        os::reg_write_dword(phone_state::phone_key, phone_state::active_call_count, 0);
        os::reg_flush(phone_state::phone_key);
    }
    test_support::TempRoot scratch{"quillon-bench-phone"};
    test_support::ScopedEnv env;
    std::string path;
    std::string contacts;
};

Root& root() {
    static Root instance;
    return instance;
}

template <typename Call>
double median_ns(Call call, int batches = 51, int calls = 100) {
    std::vector<double> times;
    for (int b = 0; b < batches; ++b) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < calls; ++i) call();
        const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
        times.push_back(took.count() / calls);
    }
    std::nth_element(times.begin(), times.begin() + batches / 2, times.end());
    return times[static_cast<size_t>(batches / 2)];
}

void BM_poll_without_call(benchmark::State& state) {
    root();
    std::u16string name, number;
    for (auto _ : state) benchmark::DoNotOptimize(query_call_state(name, number));
    const double poll = median_ns([&] { benchmark::DoNotOptimize(query_call_state(name, number)); });
    uint32_t value = 0;
    const double read = median_ns([&] {
        benchmark::DoNotOptimize(os::reg_read_dword(phone_state::phone_key, phone_state::active_call_count, value));
    });
    state.counters["poll_ns"] = poll;
    state.counters["reg_read_ns"] = read;
    state.counters["ratio_to_one_read"] = poll / read;
}
BENCHMARK(BM_poll_without_call);

void BM_find_last_contact_of_500(benchmark::State& state) {
    Root& r = root();
    auto find = [] {
        ContactsSession session;
        ContactRecord record;
        benchmark::DoNotOptimize(find_contact_by_phone(session, u"020 7946 1499", record));
    };
    for (auto _ : state) find();
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(r.contacts)) files.push_back(entry.path().string());
    auto read_all = [&files] {
        std::string buffer(1 << 16, '\0');
        size_t total = 0;
        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
                total += static_cast<size_t>(in.gcount());
            }
        }
        benchmark::DoNotOptimize(total);
    };
    const double lookup = median_ns(find, 11, 2);
    const double raw = median_ns(read_all, 11, 2);
    state.counters["lookup_ms"] = lookup / 1e6;
    state.counters["raw_read_ms"] = raw / 1e6;
    state.counters["ratio_to_raw_read"] = lookup / raw;
}
BENCHMARK(BM_find_last_contact_of_500)->Unit(benchmark::kMillisecond);

}  // namespace
