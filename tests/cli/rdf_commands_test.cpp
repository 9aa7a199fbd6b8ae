#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace velmora::cli::testing {
namespace {

class RdfCommands : public TScratchTest {};

bool HaveRapper() {
    return std::system("command -v rapper >/dev/null 2>&1") == 0;
}

// What rapper (an independent reader) prints for a file, or nullopt (and a failure) when it
// fails.
std::optional<std::string> Rapper(const std::string& options, const std::string& path) {
    const std::string command = "rapper " + options + " '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << command;
        return std::nullopt;
    }
    std::string output;
    char buffer[4096];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    if (pclose(pipe) != 0) {
        ADD_FAILURE() << output;
        return std::nullopt;
    }
    return output;
}

// A file's triple count as rapper reads it, or -1 on an error.
long RapperTriples(const std::string& syntax, const std::string& path) {
    const auto output = Rapper("-c -i " + syntax, path);
    const std::size_t at = output ? output->find("returned ") : std::string::npos;
    return at == std::string::npos ? -1 : std::stol(output->substr(at + 9));
}

// The statements of a file as rapper reads them, as sorted N-Triples lines with every blank
// node named alike (readers name blank nodes as they like).
std::vector<std::string> RapperStatements(const std::string& syntax, const std::string& path) {
    std::vector<std::string> lines;
    const auto output = Rapper("-q -i " + syntax + " -o ntriples", path);
    if (!output) {
        return lines;
    }
    std::string line;
    for (std::size_t i = 0; i < output->size(); ++i) {
        const char c = (*output)[i];
        line += c;
        if (output->compare(i, 2, "_:") == 0) {
            line += ":b";
            for (i += 2;
                 i < output->size() && std::isalnum(static_cast<unsigned char>((*output)[i]));
                 ++i) {
            }
            --i;
        } else if (c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST_F(RdfCommands, RdfXmlHoldsTheSameStatementsAsNTriples) {
    if (!HaveRapper()) {
        GTEST_SKIP() << "rapper (raptor2-utils) is not installed; scripts/install-deps.sh "
                        "installs it";
    }
    const std::string ont = Path("g.ont");
    ASSERT_EQ(RunCommand({"generate", "200", ont, "--seed", "3"}).Status, 0);
    for (const char* as : {"skos", "owl"}) {
        const std::string xml = Path(std::string(as) + ".rdf");
        const std::string nt = Path(std::string(as) + ".nt");
        ASSERT_EQ(RunCommand({"export-rdf", ont, xml, "--as", as, "--format", "rdfxml"}).Status, 0);
        ASSERT_EQ(RunCommand({"export-rdf", ont, nt, "--as", as, "--format", "ntriples"}).Status,
                  0);
        const std::vector<std::string> fromXml = RapperStatements("rdfxml", xml);
        EXPECT_FALSE(fromXml.empty());
        EXPECT_EQ(fromXml, RapperStatements("ntriples", nt)) << as;
    }
}

TEST_F(RdfCommands, ExportIsReadByRapperAndComesBack) {
    if (!HaveRapper()) {
        GTEST_SKIP() << "rapper (raptor2-utils) is not installed; scripts/install-deps.sh "
                        "installs it";
    }
    const std::string ont = Path("g.ont");
    ASSERT_EQ(RunCommand({"generate", "300", ont, "--seed", "7"}).Status, 0);
    const struct {
        const char* As;
        const char* Format;
        const char* Rapper;
        const char* Name;
    } cases[] = {{"skos", "turtle", "turtle", "s.ttl"},
                 {"skos", "rdfxml", "rdfxml", "s.rdf"},
                 {"owl", "ntriples", "ntriples", "o.nt"},
                 {"owl", "rdfxml", "rdfxml", "o.owl"}};
    for (const auto& c : cases) {
        const std::string rdf = Path(c.Name);
        const TRun exported =
            RunCommand({"export-rdf", ont, rdf, "--as", c.As, "--format", c.Format});
        ASSERT_EQ(exported.Status, 0) << exported.Err;
        const std::string triples = exported.Out.substr(0, exported.Out.find(" triples"));
        EXPECT_EQ(RapperTriples(c.Rapper, rdf), std::stol(triples.substr(triples.rfind(' ') + 1)))
            << c.Name;
        const std::string back = Path(std::string(c.Name) + ".ont");
        const TRun imported = RunCommand({"import-rdf", rdf, back, "--as", c.As});
        ASSERT_EQ(imported.Status, 0) << imported.Err;
        EXPECT_EQ(imported.Err.find("warning"), std::string::npos) << imported.Err;
        // The same records: exported again, the two files are the same text.
        const TRun again =
            RunCommand({"export-rdf", back, rdf + ".2", "--as", c.As, "--format", c.Format});
        ASSERT_EQ(again.Status, 0) << again.Err;
        if (std::string(c.Format) != "turtle") {
            EXPECT_EQ(ReadBytes(rdf + ".2"), ReadBytes(rdf)) << c.Name;
        }
        EXPECT_EQ(RunCommand({"check", back}).Status, 0);
    }
}

TEST_F(RdfCommands, BrokenInputWritesNothingAndOutputsAreNotReplacedSilently) {
    const std::string bad = Path("bad.ttl");
    {
        std::ofstream out(bad);
        out << "@prefix skos: <http://www.w3.org/2004/02/skos/core#> .\n"
               "<http://a/1> a skos:Concept ;\n  skos:prefLabel \"open\n";
    }
    const TRun broken = RunCommand({"import-rdf", bad, Path("out.ont")});
    EXPECT_EQ(broken.Status, 1);
    EXPECT_NE(broken.Err.find("行目"), std::string::npos) << broken.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.ont")));

    const std::string ont = Path("g.ont");
    ASSERT_EQ(RunCommand({"generate", "20", ont}).Status, 0);
    ASSERT_EQ(RunCommand({"export-rdf", ont, Path("x.ttl")}).Status, 0);
    EXPECT_EQ(RunCommand({"export-rdf", ont, Path("x.ttl")}).Status, 1);
    EXPECT_EQ(RunCommand({"export-rdf", ont, Path("x.ttl"), "--force"}).Status, 0);
    EXPECT_EQ(RunCommand({"import-rdf", Path("x.ttl"), ont}).Status, 1);
    for (const auto& usage :
         {std::initializer_list<std::string>{"export-rdf", ont, Path("y"), "--as", "rdfs"},
          {"export-rdf", ont, Path("y"), "--base", "no-scheme"},
          {"export-rdf", ont, Path("y"), "--lang", "ja_JP"},
          {"import-rdf", Path("x.ttl"), Path("z.ont"), "--format", "x"}}) {
        EXPECT_EQ(RunCommand(usage).Status, 2);
    }
}

}  // namespace
}  // namespace velmora::cli::testing
