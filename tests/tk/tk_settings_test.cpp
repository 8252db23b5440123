#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tk/tk_exception.hpp"
#include "tk/tk_reg_key.hpp"
#include "tk/tk_settings_store.hpp"
#include "tk/tk_thread.hpp"

namespace {

std::string scratch_file(const std::string& name) {
    const char* tmp = std::getenv("BRIXEL_TEST_TMP");
    const std::filesystem::path dir =
        std::filesystem::path(tmp != nullptr ? tmp : "/tmp") / "settings" / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return (dir / "Brixel.conf").string();
}

const std::string key = "Software\\Quillonworks\\Brixel";

TEST(SettingsStore, ValuesSurviveAReopenWithTheirTypesAndOddCharacters) {
    const std::string path = scratch_file("reopen");
    {
        tk_settings_store store(path);
        tk_reg_key reg(key);
        uint32_t disposition = 0;
        ASSERT_EQ(reg.create(&store, key, &disposition), tk_reg_success);
        EXPECT_EQ(disposition, tk_reg_created_new_key);
        ASSERT_EQ(reg.set_value(0xFFFFFFFFu, "Overwrite"), tk_reg_success);
        ASSERT_EQ(reg.set_value(u"p\u00e4ss=wo\\rd\nline2 ", "Password"), tk_reg_success);
        ASSERT_EQ(reg.set_value(u"", "Empty"), tk_reg_success);
    }
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    tk_settings_store store(path);
    tk_reg_key reg(key);
    uint32_t disposition = 0;
    reg.create(&store, key, &disposition);
    EXPECT_EQ(disposition, tk_reg_opened_existing_key);
    uint32_t number = 0;
    EXPECT_TRUE(reg.exchange("Overwrite", number, false));
    EXPECT_EQ(number, 0xFFFFFFFFu);
    std::u16string text;
    EXPECT_TRUE(reg.exchange("Password", text, false));
    EXPECT_EQ(text, u"p\u00e4ss=wo\\rd\nline2 ");
    bool flag = false;
    EXPECT_TRUE(reg.exchange("Overwrite", flag, false));
    EXPECT_TRUE(flag);
}

TEST(SettingsStore, MissingOrMistypedValuesLeaveTheVariableUnchanged) {
    tk_settings_store store(scratch_file("missing"));
    tk_reg_key reg(key);
    std::u16string text = u"default";
    uint32_t number = 7;
    EXPECT_FALSE(reg.exchange("Name", text, false));  // no key open yet
    reg.create(&store, key);
    EXPECT_EQ(reg.get_value(number, "Absent"), tk_reg_not_found);
    EXPECT_EQ(number, 7u);
    reg.set_value(u"text", "Name");
    EXPECT_EQ(reg.get_value(number, "Name"), tk_reg_invalid_data);
    EXPECT_EQ(number, 7u);
    reg.set_value(u"", "Empty");
    EXPECT_TRUE(reg.exchange("Empty", text, false));
    EXPECT_EQ(text, u"");

    uint32_t size = 2;
    char16_t small[1];
    EXPECT_EQ(reg.get_value(small, "Name", &size), tk_reg_more_data);
    EXPECT_EQ(size, 10u);
    EXPECT_THROW(reg.get_value(number, nullptr), tk_mail_assertion);
    EXPECT_THROW(reg.create(nullptr, key), tk_mail_assertion);
}

TEST(SettingsStore, DamagedLinesAreSkipped) {
    const std::string path = scratch_file("damaged");
    std::ofstream(path) << "garbage\n[" << key << "]\nA=dword:zz\nB=dword:0000000a\nC\nD=sz:ok\r\n";
    tk_settings_store store(path);
    tk_reg_key reg(key);
    reg.create(&store, key);
    uint32_t number = 1;
    EXPECT_EQ(reg.get_value(number, "A"), tk_reg_not_found);
    EXPECT_EQ(reg.get_value(number, "B"), tk_reg_success);
    EXPECT_EQ(number, 10u);
    std::u16string text;
    EXPECT_TRUE(reg.exchange("D", text, false));
    EXPECT_EQ(text, u"ok");
}

TEST(SettingsStore, DefaultPathFollowsTheOverride) {
    ::setenv("BRIXEL_CONFIG_HOME", "/some/where", 1);
    EXPECT_EQ(tk_settings_store::default_path(), "/some/where/Quillonworks/Brixel.conf");
    ::unsetenv("BRIXEL_CONFIG_HOME");
}

class counting_functor : public tk_thread_functor {
  public:
    std::atomic<int> steps{0};
    std::atomic<bool> finished{false};
    int limit = 1000000;
    bool is_done() override { return steps.load() >= limit; }
    void idle() override {
        ++steps;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void on_finish() override { finished = true; }
};

class counting_thread : public tk_thread {
  public:
    explicit counting_thread(counting_functor* f) : f_(f) {}
    tk_thread_functor* create_functor() override { return f_; }

  private:
    counting_functor* f_;
};

TEST(WorkerThread, TerminateStopsARunningFunctorAndAllowsARestart) {
    counting_functor functor;
    counting_thread thread(&functor);
    thread.start();
    EXPECT_TRUE(thread.is_running());
    EXPECT_THROW(thread.start(), tk_mail_assertion);
    thread.terminate();
    EXPECT_FALSE(thread.is_running());
    EXPECT_TRUE(functor.finished);

    functor.finished = false;
    functor.steps = 0;
    functor.limit = 3;
    thread.start();
    thread.join();
    EXPECT_FALSE(thread.is_running());
    EXPECT_EQ(functor.steps, 3);
    EXPECT_THROW(thread.terminate(), tk_mail_assertion);
}

TEST(WorkerThread, PlainThreadIdlesUntilTerminatedAndOwnsItsFunctor) {
    tk_thread thread;
    thread.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(thread.is_running());
    thread.terminate();  // LeakSanitizer checks the owned functor is deleted
    EXPECT_FALSE(thread.is_running());
}

}  // namespace
