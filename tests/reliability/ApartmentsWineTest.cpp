// Collections made in many single-threaded apartments started at the same moment, then read at
// full speed through the vtable and through IDispatch, all apartments at once: every apartment
// finishes within its deadline. A hang fails the test rather than stalling it, and names where
// each thread stopped.
#include "server/Interfaces.h"

#include "tests/wine-support/ServerTestSupport.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <latch>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tobrunel::server {
namespace {

using namespace testing;
using Clock = std::chrono::steady_clock;
using Export = HRESULT(STDAPICALLTYPE*)();

constexpr int Apartments = 8;
constexpr auto ReadingTime = std::chrono::seconds(8);
constexpr auto Deadline = std::chrono::seconds(60);

enum class Phase { Waiting, Creating, Reading, Finished };
constexpr const char* phaseNames[] = {"waiting", "creating its collection", "reading", "finished"};

struct Apartment {
    std::atomic<Phase> phase{Phase::Waiting};
    std::atomic<long> reads{0};
    std::string failure;
};

// readThroughVtable reads every item's cached name, display name and state by position.
bool readThroughVtable(_clsServices& services) {
    long count = 0;
    if (FAILED(services.get_Count(&count)) || count == 0) {
        return false;
    }
    for (long position = 1; position <= count; ++position) {
        ComPtr<_clsService> service;
        Bstr name, displayName;
        long state = 0;
        if (FAILED(services.get_Item(Variant::integer(position).get(),
                                     service.ReleaseAndGetAddressOf())) ||
            !service || FAILED(service->get_Name(name.put())) ||
            FAILED(service->get_DisplayName(displayName.put())) ||
            FAILED(service->get_CurrentState(&state)) || SysStringLen(name.get()) == 0) {
            return false;
        }
    }
    return true;
}

// readThroughDispatch reads the same as a script does, by name through Invoke.
bool readThroughDispatch(IDispatch& services) {
    Call count;
    invoke(count, services, dispatchId(services, L"Count"), DISPATCH_PROPERTYGET);
    if (FAILED(count.status) || count.result.type() != VT_I4) {
        return false;
    }
    const DISPID item = dispatchId(services, L"Item");
    for (long position = 1; position <= V_I4(count.result.get()); ++position) {
        Variant index = Variant::integer(position);
        Call found;
        invoke(found, services, item, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {&index});
        if (FAILED(found.status) || found.result.type() != VT_DISPATCH) {
            return false;
        }
        IDispatch& service = *V_DISPATCH(found.result.get());
        for (const wchar_t* member : {L"Name", L"DisplayName", L"CurrentState"}) {
            Call read;
            invoke(read, service, dispatchId(service, member), DISPATCH_PROPERTYGET);
            if (FAILED(read.status)) {
                return false;
            }
        }
    }
    return true;
}

// Wine 8's manager can leave a call waiting for ever when several threads of one process open and
// close it at the same moment, with or without a manager handle held open for the whole run
// (docs/reliability.md): the apartments make their collections one at a time.
std::mutex creation;

void runApartment(Apartment& apartment, std::latch& start, std::latch& created) {
    const ComApartment com;
    CLSID clsid{};
    CLSIDFromProgID(L"Velcastra.clsServices", &clsid);
    start.arrive_and_wait();
    apartment.phase = Phase::Creating;
    ComPtr<_clsServices> services;
    HRESULT result = com.result();
    if (SUCCEEDED(result)) {
        const std::lock_guard one(creation);
        result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(services.ReleaseAndGetAddressOf()));
    }
    const auto dispatch = services ? dispatchOf(services) : ComPtr<IDispatch>();
    if (FAILED(result) || !dispatch) {
        apartment.failure = "no collection: " + hex(result);
    }
    // Then all read at once.
    created.arrive_and_wait();
    apartment.phase = Phase::Reading;
    const auto readUntil = Clock::now() + ReadingTime;
    while (apartment.failure.empty() && Clock::now() < readUntil) {
        if (!readThroughVtable(*services.Get()) || !readThroughDispatch(*dispatch.Get())) {
            apartment.failure =
                "a read failed after " + std::to_string(apartment.reads) + " passes";
        }
        ++apartment.reads;
    }
    apartment.phase = Phase::Finished;
}

class ApartmentsWineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_HRESULT(S_OK, library().entry<Export>("DllRegisterServer")());
    }
    static void TearDownTestSuite() { library().entry<Export>("DllUnregisterServer")(); }
    static LoadedLibrary& library() {
        static LoadedLibrary loaded(dllPath());
        return loaded;
    }
};

TEST_F(ApartmentsWineTest, ManyApartmentsCreateAndReadCollectionsAtOnce) {
    std::vector<Apartment> apartments(Apartments);
    std::latch start(Apartments), created(Apartments);
    std::vector<std::thread> threads;
    for (auto& apartment : apartments) {
        threads.emplace_back(runApartment, std::ref(apartment), std::ref(start), std::ref(created));
    }
    const auto deadline = Clock::now() + Deadline;
    const auto allFinished = [&] {
        for (const auto& apartment : apartments) {
            if (apartment.phase != Phase::Finished) {
                return false;
            }
        }
        return true;
    };
    while (!allFinished() && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!allFinished()) {
        // A thread that hangs cannot be joined: say where each one is and end the program.
        for (std::size_t i = 0; i < apartments.size(); ++i) {
            std::printf("apartment %zu: %s after %ld passes\n", i,
                        phaseNames[static_cast<int>(apartments[i].phase.load())],
                        apartments[i].reads.load());
        }
        std::fflush(stdout);
        ADD_FAILURE() << "an apartment did not finish within its deadline";
        TerminateProcess(GetCurrentProcess(), 3);
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (std::size_t i = 0; i < apartments.size(); ++i) {
        EXPECT_EQ(apartments[i].failure, "") << "apartment " << i;
        EXPECT_GT(apartments[i].reads, 0) << "apartment " << i;
    }
}

} // namespace
} // namespace tobrunel::server
