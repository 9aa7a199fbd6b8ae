// Helpers shared by the velmora-cli tests: a scratch folder per test, running a command line
// through RunCli with captured streams, a store session with a fixed clock, and small record
// edits for building broken ontologies.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <span>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "cli.h"
#include "code_page.h"
#include "data_module.h"
#include "ontology.h"
#include "ontology_tables.h"

namespace velmora::cli::testing {

inline std::string Sjis(std::string_view utf8) {
    return store::Utf8ToCp932(utf8);
}

inline store::TDateTime Moment(int hour, int minute, int second) {
    return store::TDateTime::FromCivil({2024, 4, 1, hour, minute, second, 0});
}

struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

inline TRun RunCommand(std::initializer_list<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    const std::vector<std::string> words(args);
    TRun run;
    run.Status = RunCli(words, out, err);
    run.Out = out.str();
    run.Err = err.str();
    return run;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A folder of its own for each test, removed afterwards.
class TScratchTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::path(::testing::TempDir()) /
                ("velmora_cli_" + std::string(info->test_suite_name()) + "_" + info->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    std::filesystem::path m_dir;
};

// A store with a fixed clock and a user name.
struct TSession {
    store::TSimpleStoreContext Context;
    store::TFixedAnswer Overwrite{store::TAnswer::Yes};
    store::TDataModule1 Store{Context};
    store::TOntology Ontology;

    TSession() {
        Context.SetClock([] { return Moment(9, 0, 0); });
        Store.SetQuestioner(Overwrite);
    }

    void Load(const std::string& path) {
        Ontology.SetFileName(path);
        Store.LoadOntologyFile(Ontology);
    }
    void Save(const std::string& path) {
        Ontology.SetFileName(path);
        Store.SaveOntologyFile(Ontology, true);
    }

    // Sets one field of the record whose `key` field equals `no`.
    void Set(store::TTable& table, std::string_view key, std::int32_t no, std::string_view field,
             const store::TValue& value) {
        ASSERT_TRUE(table.Locate(key, store::TValue(no))) << key << " " << no;
        table.Edit();
        table.FieldByName(field).SetValue(value);
        table.Post();
    }
    void SetConcept(std::int32_t no, std::string_view field, const store::TValue& value) {
        Set(Store.DtStOriginalConcepts, store::kFieldRecordNo, no, field, value);
    }
    void SetLink(std::int32_t no, std::string_view field, const store::TValue& value) {
        Set(Store.DtStOriginalNetWork, store::kFieldRecordNo, no, field, value);
    }
    std::int32_t AddLink(std::int32_t from, std::int32_t to, std::int32_t code) {
        store::TTable& network = Store.DtStOriginalNetWork;
        const std::int32_t no = network.AutoIncValue();
        network.AppendRecord({std::monostate{}, from, to, std::monostate{}, code, -1, -1});
        return no;
    }
    store::TValue Field(store::TTable& table, std::string_view key, std::int32_t no,
                        std::string_view field) {
        EXPECT_TRUE(table.Locate(key, store::TValue(no))) << key << " " << no;
        return table.FieldByName(field).Value();
    }
};

// Every record of every table as text, in order of addition: equal dumps mean equal contents.
inline std::vector<std::string> Dump(store::TDataModule1& store) {
    std::vector<std::string> dump;
    for (store::TTable* table : store.Tables()) {
        dump.push_back("#" + table->TableName() + " next " + std::to_string(table->AutoIncValue()));
        table->ForEachRecord([&](std::span<const store::TValue> values) {
            std::string row;
            for (const store::TValue& v : values) {
                if (const auto* n = std::get_if<std::int32_t>(&v)) {
                    row += std::to_string(*n);
                } else if (const auto* t = std::get_if<std::string>(&v)) {
                    row += "'" + *t + "'";
                } else if (const auto* d = std::get_if<store::TDateTime>(&v)) {
                    row += "@" + std::to_string(d->Milliseconds());
                } else {
                    row += "null";
                }
                row += "|";
            }
            dump.push_back(row);
        });
    }
    return dump;
}

}  // namespace velmora::cli::testing
