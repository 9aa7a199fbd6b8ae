#include "rdf_commands.h"

#include <string>

#include "cli.h"
#include "data_module.h"
#include "loaded_ontology.h"
#include "ontology.h"
#include "output_files.h"
#include "progress_lines.h"
#include "rdf_export.h"
#include "rdf_import.h"

namespace velmora::cli {

const std::string_view kExportRdfHelp =
    R"(Usage: velmora-cli export-rdf FILE.ont OUT [--as skos|owl]
           [--format turtle|rdfxml|ntriples] [--base IRI] [--lang TAG] [--force]

Writes the whole ontology of FILE.ont as RDF, for OWL editors, reasoners and SKOS tools.
Each concept is named by the base IRI followed by its record number, which is never reused,
so the names stay the same across saves and edits; the identifier goes out as
dcterms:identifier. The mapping is described in doc/rdf_exchange.md. FILE.ont is not changed.

  --as skos    (default) a skos:ConceptScheme with the metadata; every concept a
               skos:Concept with prefLabel (title), altLabel (its other language labels),
               definition (解説), note (コメント), created, modified and contributor (editor);
               the parent and every subconcept mirror image as skos:broader/skos:narrower;
               mirror images of other relations as properties of the ontology's namespace,
               one per link type, each a sub-property of skos:related
  --as owl     an owl:Ontology; every concept an owl:Class with rdfs:label, rdfs:subClassOf
               for the parent and every subconcept mirror image, the description as
               obo:IAO_0000115 and the comment as rdfs:comment; other relations as
               owl:ObjectProperty in owl:someValuesFrom restrictions
  --format F   turtle, rdfxml or ntriples; default from OUT's extension (.rdf, .owl, .xml:
               rdfxml; .nt: ntriples), else turtle
  --base IRI   the base IRI (an absolute IRI, usually ending in "/" or "#"); default
               "http://velmora.invalid/" + the ontology's title (percent-encoded) + "/"
  --lang TAG   the language tag of the texts (default ja)
  --force      replace an existing OUT

Sibling order, icon positions and mirror images with their own order and places go out as
annotations of the base IRI's namespace, so that import-rdf restores them. Bytes that are not
code page 932 are written as "?" and counted. Progress goes to stderr for large ontologies.
)";

const std::string_view kImportRdfHelp =
    R"(Usage: velmora-cli import-rdf IN OUT.ont [--as skos|owl] [--lang TAG] [--user NAME]
           [--force]

Makes a new ontology OUT.ont from an RDF file in RDF/XML, Turtle or N-Triples (told from the
content, not from the extension).

  --as skos    (default) skos:Concept resources: the preferred label in the chosen language
               (else one in another language, else the last segment of the IRI) as title, the
               other labels as language labels, definition and note, broader/narrower as the
               hierarchy (the first parent as the own parent, further parents as subconcept
               mirror images), skos:related and its sub-properties as mirror images of one
               link type each
  --as owl     named owl:Class resources: rdfs:label, rdfs:subClassOf between named classes,
               the definition annotations (obo:IAO_0000115, skos:definition), rdfs:comment,
               synonyms as language labels, and owl:someValuesFrom restrictions as mirror
               images of one link type per property
  --lang TAG   the language to prefer (default ja)
  --user NAME  EDITOR of the concepts that name no contributor (default 無記名)
  --force      replace an existing OUT.ont (its backup is kept)

Concepts without a parent go under the one top concept; when there are several, a top
concept is made from the concept scheme (or ontology). A file written by export-rdf comes back
with the same concepts, record numbers, hierarchy, mirror images, texts, labels, dates,
identifiers, sibling order and icon positions. A hierarchy that forms a cycle is broken, with
a warning naming the concepts. Texts longer than their field are cut and characters code page
932 cannot hold become "?"; both are counted on stderr. A file the parser cannot read fails
with the line where it stopped and writes nothing.
)";

std::vector<TOptionSpec> ExportRdfOptions() {
    return {{"as", true}, {"format", true}, {"base", true}, {"lang", true}, {"force", false}};
}

std::vector<TOptionSpec> ImportRdfOptions() {
    return {{"as", true}, {"lang", true}, {"user", true}, {"force", false}};
}

namespace {

constexpr std::string_view kProgram = "velmora-cli";

exchange::TRdfVocabulary ParseVocabulary(const TParsedArguments& args) {
    const std::string as = args.Value("as").value_or("skos");
    if (as == "skos") {
        return exchange::TRdfVocabulary::Skos;
    }
    if (as == "owl") {
        return exchange::TRdfVocabulary::Owl;
    }
    throw EUsageError("--as must be skos or owl, not '" + as + "'");
}

std::string ParseLanguage(const TParsedArguments& args) {
    const std::string lang = args.Value("lang").value_or("ja");
    if (!exchange::IsLanguageTag(lang)) {
        throw EUsageError("--lang must be a language tag such as ja or en-GB, not '" + lang + "'");
    }
    return lang;
}

bool EndsWith(const std::string& text, std::string_view suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = text[text.size() - suffix.size() + i];
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (c != suffix[i]) {
            return false;
        }
    }
    return true;
}

exchange::TRdfSyntax ParseSyntax(const TParsedArguments& args, const std::string& out) {
    if (const auto format = args.Value("format")) {
        if (*format == "turtle") {
            return exchange::TRdfSyntax::Turtle;
        }
        if (*format == "rdfxml") {
            return exchange::TRdfSyntax::RdfXml;
        }
        if (*format == "ntriples") {
            return exchange::TRdfSyntax::NTriples;
        }
        throw EUsageError("--format must be turtle, rdfxml or ntriples, not '" + *format + "'");
    }
    if (EndsWith(out, ".rdf") || EndsWith(out, ".owl") || EndsWith(out, ".xml")) {
        return exchange::TRdfSyntax::RdfXml;
    }
    if (EndsWith(out, ".nt")) {
        return exchange::TRdfSyntax::NTriples;
    }
    return exchange::TRdfSyntax::Turtle;
}

const char* SyntaxName(exchange::TRdfSyntax syntax) {
    switch (syntax) {
        case exchange::TRdfSyntax::Turtle:
            return "Turtle";
        case exchange::TRdfSyntax::RdfXml:
            return "RDF/XML";
        case exchange::TRdfSyntax::NTriples:
            return "N-Triples";
    }
    return "";
}

}  // namespace

int RunExportRdf(const TParsedArguments& args, std::ostream& out, std::ostream& err,
                 TTerminalText& /*text*/) {
    RequirePositionals(args, 2, "FILE.ont and OUT");
    const std::string& in = args.Positionals[0];
    const std::string& rdf = args.Positionals[1];
    exchange::TRdfExportOptions options;
    options.Vocabulary = ParseVocabulary(args);
    options.Syntax = ParseSyntax(args, rdf);
    options.Language = ParseLanguage(args);
    if (const auto base = args.Value("base")) {
        if (!exchange::IsAbsoluteIri(*base)) {
            throw EUsageError(
                "--base must be an absolute IRI such as http://example.org/onto/, "
                "not '" +
                *base + "'");
        }
        options.BaseIri = *base;
    }
    if (RefuseOutput(rdf, args.Has("force"), err)) {
        return kExitFailure;
    }

    TLoadedOntology loaded(in);
    TProgressLines progress(err, "export-rdf", "concepts", 10'000);
    const exchange::TRdfExportResult result = exchange::ExportRdfFile(
        loaded.Store, loaded.Ontology, options, rdf, store::RealFileSystem(),
        [&](int done, int total) { progress(done, total); });
    if (result.Replaced > 0) {
        err << kProgram << ": warning: " << result.Replaced
            << " character(s) that are not code page 932, or control characters, were written "
               "as \"?\"\n";
    }
    out << "export-rdf: wrote " << rdf << " ("
        << (options.Vocabulary == exchange::TRdfVocabulary::Owl ? "OWL" : "SKOS") << ", "
        << SyntaxName(options.Syntax) << ", " << result.Concepts << " concepts, "
        << result.MirrorImages << " mirror images, " << result.Triples << " triples, base <"
        << result.BaseIri << ">)\n";
    return kExitOk;
}

int RunImportRdf(const TParsedArguments& args, std::ostream& out, std::ostream& err,
                 TTerminalText& text) {
    RequirePositionals(args, 2, "IN and OUT.ont");
    const std::string& in = args.Positionals[0];
    const std::string& ont = args.Positionals[1];
    exchange::TRdfImportOptions options;
    options.Vocabulary = ParseVocabulary(args);
    options.Language = ParseLanguage(args);
    const bool force = args.Has("force");
    store::TOntology probe;
    probe.SetFileName(ont);
    const bool replacing = store::RealFileSystem().Exists(ont);
    if (RefuseOutput(ont, force, err,
                     " (the previous file is then kept as '" + probe.BackupFileName() + "')")) {
        return kExitFailure;
    }

    store::TSimpleStoreContext context;
    if (const auto user = args.Value("user")) {
        context.SetUserName(text.ToTable(*user, "--user"));
    }
    store::TFixedAnswer overwrite{force ? store::TAnswer::Yes : store::TAnswer::No};
    store::TDataModule1 data(context);
    data.SetQuestioner(overwrite);
    store::TOntology ontology;
    TProgressLines progress(err, "import-rdf", "bytes read", 1 << 20);
    const exchange::TRdfImportResult result = exchange::ImportRdfFile(
        in, store::RealFileSystem(), data, ontology, context, options,
        [&](std::int64_t done, std::int64_t total) { progress(done, total); });
    for (const std::string& warning : result.Warnings) {
        err << kProgram << ": warning: " << warning << '\n';
    }
    if (result.CutTexts > 0) {
        err << kProgram << ": warning: " << result.CutTexts
            << " text(s) were longer than their field and were cut\n";
    }
    if (result.Replaced > 0) {
        err << kProgram << ": warning: " << result.Replaced
            << " character(s) that code page 932 cannot hold were written as \"?\"\n";
    }
    ontology.SetFileName(ont);
    if (!data.SaveOntologyFile(ontology, false)) {
        err << kProgram << ": '" << ont << "' already exists; use --force to replace it\n";
        return kExitFailure;
    }
    out << "import-rdf: wrote " << ont << " (" << result.Syntax << ", " << result.Concepts
        << " concepts, " << result.MirrorImages << " mirror images, " << result.Labels
        << " labels, " << result.LinkTypesAdded << " new link types"
        << (result.TopConceptMade ? ", top concept made from the scheme" : "") << ")"
        << (replacing ? BackupNote(data, ontology, err) : std::string()) << '\n';
    return kExitOk;
}

}  // namespace velmora::cli
