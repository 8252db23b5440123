// A scratch service with a connected session for each test.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "oci_client.h"

class SimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = std::make_unique<ScratchHome>(release(), charset());
        db_ = std::make_unique<Conn>();
        ASSERT_EQ(db_->connect(), oci::SUCCESS) << db_->text();
    }
    void TearDown() override {
        db_.reset();
        home_.reset();
    }
    virtual std::string release() const { return "19c"; }
    virtual std::string charset() const { return ""; }

    Conn& db() { return *db_; }
    ScratchHome& home() { return *home_; }
    // Executes and expects success.
    void ok(const std::string& sql) {
        ASSERT_EQ(db().exec(sql), oci::SUCCESS) << sql << "\n" << db().text();
    }
    // Executes and returns the error text ("" on success).
    std::string fails(const std::string& sql) {
        return db().exec(sql) == oci::ERROR ? db().text() : "";
    }

    std::unique_ptr<ScratchHome> home_;
    std::unique_ptr<Conn> db_;
};

using Rows = std::vector<std::vector<std::string>>;
