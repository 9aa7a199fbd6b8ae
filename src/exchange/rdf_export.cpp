#include "rdf_export.h"

#include <raptor2.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <exception>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "code_page.h"
#include "ontology_tables.h"
#include "rdf_raptor.h"
#include "rdf_vocabulary.h"
#include "rdf_xml_writer.h"

namespace velmora::exchange {

namespace {

using store::TRecordView;
using store::TTable;

int FieldIndex(const TTable& table, std::string_view name) {
    const int index = table.FindFieldIndex(name);
    if (index < 0) {
        throw store::ETableError("項目 '" + std::string(name) + "' が見つかりません");
    }
    return index;
}

const char* SerializerName(TRdfSyntax syntax) {
    switch (syntax) {
        case TRdfSyntax::Turtle:
            return "turtle";
        case TRdfSyntax::RdfXml:
            return "rdfxml";
        case TRdfSyntax::NTriples:
            return "ntriples";
    }
    return "turtle";
}

// The subject or object of a statement as the RDF/XML writer takes it; the text is the term's.
TRdfNode Node(const raptor_term* term) {
    TRdfNode node;
    const auto text = [](const unsigned char* s, std::size_t length) {
        return std::string_view(reinterpret_cast<const char*>(s), length);
    };
    switch (term->type) {
        case RAPTOR_TERM_TYPE_BLANK:
            node.Kind = TRdfNode::TKind::Blank;
            node.Text = text(term->value.blank.string, term->value.blank.string_len);
            break;
        case RAPTOR_TERM_TYPE_LITERAL: {
            const raptor_term_literal_value& literal = term->value.literal;
            node.Kind = TRdfNode::TKind::Literal;
            node.Text = text(literal.string, literal.string_len);
            if (literal.language != nullptr) {
                node.Language = text(literal.language, literal.language_len);
            }
            if (literal.datatype != nullptr) {
                std::size_t length = 0;
                const unsigned char* iri = raptor_uri_as_counted_string(literal.datatype, &length);
                node.Datatype = text(iri, length);
            }
            break;
        }
        default: {
            std::size_t length = 0;
            const unsigned char* iri = raptor_uri_as_counted_string(term->value.uri, &length);
            node.Kind = TRdfNode::TKind::Iri;
            node.Text = text(iri, length);
            break;
        }
    }
    return node;
}

// Writes statements into a sink, in pieces of about 64 KiB: Turtle and N-Triples through a
// Raptor serializer, RDF/XML through TRdfXmlWriter. An exception of the sink cannot cross
// Raptor's C frames: it is kept and thrown again afterwards.
class TTripleWriter {
public:
    TTripleWriter(TRaptorWorld& world, TRdfSyntax syntax,
                  const std::function<void(std::string_view)>& sink)
        : m_world(world), m_sink(sink) {
        if (syntax == TRdfSyntax::RdfXml) {
            m_xml = std::make_unique<TRdfXmlWriter>(sink);
            return;
        }
        m_serializer = raptor_new_serializer(world.World(), SerializerName(syntax));
        static const raptor_iostream_handler handler = {
            2,       nullptr, nullptr, &TTripleWriter::WriteByte, &TTripleWriter::WriteBytes,
            nullptr, nullptr, nullptr};
        m_stream = raptor_new_iostream_from_handler(world.World(), this, &handler);
        if (m_serializer == nullptr || m_stream == nullptr) {
            Free();
            throw ERdfError("RDF の書き出しを準備できません.");
        }
    }
    ~TTripleWriter() { Free(); }
    TTripleWriter(const TTripleWriter&) = delete;
    TTripleWriter& operator=(const TTripleWriter&) = delete;

    void Namespace(std::string_view iri, const char* prefix) {
        if (m_xml) {
            m_xml->Namespace(iri, prefix);
            return;
        }
        TRaptorUri uri(m_world, iri);
        raptor_serializer_set_namespace(m_serializer, uri.Get(),
                                        reinterpret_cast<const unsigned char*>(prefix));
    }
    void Start() {
        if (m_xml) {
            m_xml->Start();
            return;
        }
        Check(raptor_serializer_start_to_iostream(m_serializer, nullptr, m_stream));
    }
    void End() {
        if (m_xml) {
            m_xml->End();
            return;
        }
        Check(raptor_serializer_serialize_end(m_serializer));
        raptor_free_iostream(m_stream);  // flushes through the handler
        m_stream = nullptr;
        Rethrow();
        Flush();
    }

    // Takes over subject and object.
    void Emit(raptor_term* subject, raptor_uri* predicate, raptor_term* object) {
        if (m_xml) {
            const std::unique_ptr<raptor_term, void (*)(raptor_term*)> ownSubject(subject,
                                                                                  raptor_free_term);
            const std::unique_ptr<raptor_term, void (*)(raptor_term*)> ownObject(object,
                                                                                 raptor_free_term);
            std::size_t length = 0;
            const unsigned char* iri = raptor_uri_as_counted_string(predicate, &length);
            m_xml->Statement(Node(subject),
                             std::string_view(reinterpret_cast<const char*>(iri), length),
                             Node(object));
            ++m_triples;
            return;
        }
        raptor_statement statement;
        raptor_statement_init(&statement, m_world.World());
        statement.subject = subject;
        statement.predicate = raptor_new_term_from_uri(m_world.World(), predicate);
        statement.object = object;
        const int failed = raptor_serializer_serialize_statement(m_serializer, &statement);
        raptor_statement_clear(&statement);
        Check(failed);
        ++m_triples;
    }

    std::size_t Triples() const { return m_triples; }

private:
    static int WriteByte(void* context, const int byte) {
        const char c = static_cast<char>(byte);
        return WriteBytes(context, &c, 1, 1) == 1 ? 0 : 1;
    }
    static int WriteBytes(void* context, const void* data, size_t size, size_t count) {
        auto& self = *static_cast<TTripleWriter*>(context);
        if (self.m_failure) {
            return 0;
        }
        try {
            self.m_buffer.append(static_cast<const char*>(data), size * count);
            if (self.m_buffer.size() >= (1u << 16)) {
                self.Flush();
            }
            return static_cast<int>(count);
        } catch (...) {
            self.m_failure = std::current_exception();
            return 0;
        }
    }
    void Flush() {
        if (!m_buffer.empty()) {
            m_sink(m_buffer);
            m_buffer.clear();
        }
    }
    void Rethrow() {
        if (m_failure) {
            std::rethrow_exception(std::exchange(m_failure, nullptr));
        }
    }
    void Check(int failed) {
        Rethrow();
        if (failed != 0) {
            throw ERdfError("RDF の書き出しに失敗しました: " + m_world.TakeMessage());
        }
    }
    void Free() {
        if (m_stream != nullptr) {
            raptor_free_iostream(m_stream);
            m_stream = nullptr;
        }
        if (m_serializer != nullptr) {
            raptor_free_serializer(m_serializer);
            m_serializer = nullptr;
        }
    }

    TRaptorWorld& m_world;
    const std::function<void(std::string_view)>& m_sink;
    std::unique_ptr<TRdfXmlWriter> m_xml;
    raptor_serializer* m_serializer = nullptr;
    raptor_iostream* m_stream = nullptr;
    std::string m_buffer;
    std::exception_ptr m_failure;
    std::size_t m_triples = 0;
};

// Table text as RDF text: UTF-8, line breaks as LF, and "?" for what is not code page 932 and
// for control characters that XML 1.0 cannot carry.
class TTextOut {
public:
    // The text stays valid until the next call.
    std::string_view operator()(std::string_view cp932) {
        int unreadable = 0;
        const std::string utf8 = store::Cp932ToUtf8(cp932, &unreadable);
        m_replaced += unreadable;
        std::string& text = m_text;
        text.clear();
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            const char c = utf8[i];
            if (c == '\r') {
                text += '\n';
                if (i + 1 < utf8.size() && utf8[i + 1] == '\n') {
                    ++i;
                }
            } else if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') {
                text += '?';
                ++m_replaced;
            } else {
                text += c;
            }
        }
        return text;
    }
    int Replaced() const { return m_replaced; }

private:
    std::string m_text;
    int m_replaced = 0;
};

std::string Two(int n) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

// xsd:dateTime without a zone (the tables keep local time); milliseconds only when there are.
std::string DateTimeText(store::TDateTime moment) {
    const store::TCivilTime c = moment.ToCivil();
    char year[16];
    std::snprintf(year, sizeof year, "%04d", c.Year);
    std::string text = std::string(year) + "-" + Two(c.Month) + "-" + Two(c.Day) + "T" +
                       Two(c.Hour) + ":" + Two(c.Minute) + ":" + Two(c.Second);
    if (c.Millisecond != 0) {
        char ms[8];
        std::snprintf(ms, sizeof ms, ".%03d", c.Millisecond);
        text += ms;
    }
    return text;
}

struct TLabelLists {
    std::unordered_map<std::int32_t, std::string> Terms;
    // For each concept, its TERM_NOs in the order of its associations.
    std::unordered_map<std::int32_t, std::vector<std::int32_t>> OfConcept;
};

TLabelLists ReadLabels(store::TDataModule1& store) {
    TLabelLists lists;
    TTable& terms = store.DtStOriginalTerms;
    const int termNo = FieldIndex(terms, store::kFieldTermNo);
    const int termString = FieldIndex(terms, store::kFieldTermString);
    terms.ForEachRecordView([&](const TRecordView& r) {
        lists.Terms.emplace(r.Integer(termNo), std::string(r.Text(termString)));
    });
    TTable& assocs = store.DtStOriginalAssociation;
    const int conceptNo = FieldIndex(assocs, store::kFieldConceptNo);
    const int assocTerm = FieldIndex(assocs, store::kFieldTermNo);
    assocs.ForEachRecordView([&](const TRecordView& r) {
        lists.OfConcept[r.Integer(conceptNo)].push_back(r.Integer(assocTerm));
    });
    return lists;
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

}  // namespace

std::string DefaultBaseIri(const store::TOntology& ontology) {
    std::string title = store::Cp932ToUtf8(ontology.Title());
    if (title.empty()) {
        title = "untitled";
    }
    std::string iri = "http://velmora.invalid/";
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char ch : title) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsUnreserved(c)) {
            iri += ch;
        } else {
            iri += '%';
            iri += kHex[c >> 4];
            iri += kHex[c & 15];
        }
    }
    return iri + "/";
}

bool IsLanguageTag(std::string_view tag) {
    std::size_t part = 0;
    std::size_t length = 0;
    if (tag.empty()) {
        return false;
    }
    for (const char c : tag) {
        if (c == '-') {
            if (length == 0) {
                return false;
            }
            ++part;
            length = 0;
            continue;
        }
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !(digit && part > 0)) {
            return false;
        }
        if (++length > 8) {
            return false;
        }
    }
    return length > 0;
}

bool IsAbsoluteIri(std::string_view iri) {
    const std::size_t colon = iri.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == iri.size()) {
        return false;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = iri[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && !(i > 0 && other)) {
            return false;
        }
    }
    for (const char ch : iri) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7F ||
            std::string_view("<>\"{}|\\^`").find(ch) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

TRdfExportResult ExportRdf(store::TDataModule1& store, const store::TOntology& ontology,
                           const TRdfExportOptions& options,
                           const std::function<void(std::string_view)>& sink,
                           const std::function<void(int done, int total)>& progress) {
    namespace v = rdf;
    TRdfExportResult result;
    result.BaseIri = options.BaseIri.empty() ? DefaultBaseIri(ontology) : options.BaseIri;
    const std::string& base = result.BaseIri;
    const bool owl = options.Vocabulary == TRdfVocabulary::Owl;
    const std::string& lang = options.Language;

    TRaptorWorld world;
    TTripleWriter out(world, options.Syntax, sink);
    TTextOut textOut;
    // Every URI but those of the records is made once; a statement's term only takes a
    // reference to it (making a URI parses and interns its text).
    TUriCache uris(world);
    const auto term = [&](std::string_view ns, std::string_view local) {
        return uris.Get(std::string(ns) + std::string(local));
    };
    const auto own = [&](std::string_view local) { return uris.Get(base + std::string(local)); };
    raptor_uri* const rdfType = term(v::kRdf, "type");
    raptor_uri* const xsdInteger = term(v::kXsd, "integer");
    raptor_uri* const xsdBoolean = term(v::kXsd, "boolean");
    raptor_uri* const xsdDateTime = term(v::kXsd, "dateTime");
    raptor_uri* const baseUri = uris.Get(base);

    // A record's IRI: base + prefix + number, its text built in one reused buffer.
    std::string name;
    const auto numbered = [&](std::string_view prefix, std::int32_t no) {
        name.assign(base).append(prefix);
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, no).ptr;
        name.append(digits, end);
        return TRaptorUri(world, name);
    };
    const auto linkUri = [&](std::int32_t code) {
        return uris.Get(base + std::string(v::kLinkPrefix) + std::to_string(code));
    };
    const auto ref = [&](raptor_uri* uri) { return world.UriTerm(uri); };
    const auto link = [&](raptor_uri* subject, raptor_uri* predicate, raptor_uri* object) {
        out.Emit(ref(subject), predicate, ref(object));
    };
    // Texts: empty ones are left out, as the tables read them.
    const auto text = [&](raptor_uri* subject, raptor_uri* predicate, std::string_view cp932,
                          bool tagged = true) {
        if (cp932.empty()) {
            return;
        }
        out.Emit(ref(subject), predicate,
                 world.LiteralTerm(textOut(cp932), nullptr, tagged ? lang : std::string_view()));
    };
    const auto integer = [&](raptor_uri* subject, raptor_uri* predicate, std::int32_t n) {
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
        out.Emit(ref(subject), predicate,
                 world.LiteralTerm(std::string_view(digits, end - digits), xsdInteger, {}));
    };
    // A record's integer field, left out when null.
    const auto field = [&](raptor_uri* subject, raptor_uri* predicate, const TRecordView& r,
                           int index) {
        if (!r.IsNull(index)) {
            integer(subject, predicate, r.Integer(index));
        }
    };

    out.Namespace(v::kRdf, "rdf");
    out.Namespace(v::kRdfs, "rdfs");
    out.Namespace(v::kXsd, "xsd");
    out.Namespace(v::kDcterms, "dcterms");
    out.Namespace(owl ? v::kOwl : v::kSkos, owl ? "owl" : "skos");
    if (owl) {
        out.Namespace(v::kSkos, "skos");
        out.Namespace(v::kObo, "obo");
    }
    out.Namespace(base, "vo");
    out.Start();

    // The ontology, or the concept scheme, with the metadata.
    link(baseUri, rdfType, owl ? term(v::kOwl, "Ontology") : term(v::kSkos, "ConceptScheme"));
    text(baseUri, term(v::kDcterms, "title"), ontology.Title());
    text(baseUri, term(v::kDcterms, "subject"), ontology.Target());
    text(baseUri, term(v::kDcterms, "audience"), ontology.Community());
    text(baseUri, term(v::kDcterms, "description"), ontology.Description());
    text(baseUri, term(v::kDcterms, "creator"), ontology.Creator(), false);
    text(baseUri, term(v::kDcterms, "created"), ontology.CreatedDay(), false);
    text(baseUri, own(v::kConceptDescrDefault), ontology.ConceptDescrDefault());
    text(baseUri, own(v::kConceptCommentDefault), ontology.ConceptCommentDefault());
    integer(baseUri, own(v::kNextConceptNumber), store.DtStOriginalConcepts.AutoIncValue());
    integer(baseUri, own(v::kNextMirrorImageNumber), store.DtStOriginalNetWork.AutoIncValue());

    raptor_uri* const label = term(v::kRdfs, "label");
    raptor_uri* const comment = term(v::kRdfs, "comment");
    if (owl) {
        // OWL tools want every annotation property declared.
        raptor_uri* const annotation = term(v::kOwl, "AnnotationProperty");
        for (const std::string_view dc : {"title", "subject", "audience", "description", "creator",
                                          "created", "modified", "contributor", "identifier"}) {
            link(term(v::kDcterms, dc), rdfType, annotation);
        }
        link(term(v::kSkos, "altLabel"), rdfType, annotation);
        link(term(v::kObo, "IAO_0000115"), rdfType, annotation);
        text(term(v::kObo, "IAO_0000115"), label, store::Utf8ToCp932("definition"), false);
        for (const std::string_view local :
             {v::kListOrder, v::kIconPosX, v::kIconPosY, v::kWithoutTitleLabel, v::kMirrorOf,
              v::kShownUnder, v::kLinkCode, v::kConceptDescrDefault, v::kConceptCommentDefault,
              v::kNextConceptNumber, v::kNextMirrorImageNumber}) {
            link(own(local), rdfType, annotation);
        }
        link(own(v::kMirrorImage), rdfType, term(v::kOwl, "Class"));
    }

    // Link types: code 1 is the hierarchy itself, the others relations of their own.
    {
        TTable& types = store.DtStOriginalLinkType;
        const int code = FieldIndex(types, store::kFieldLinkCode);
        const int title = FieldIndex(types, store::kFieldLinkTitle);
        const int note = FieldIndex(types, store::kFieldComment);
        types.ForEachRecordView([&](const TRecordView& r) {
            const std::int32_t c = r.Integer(code);
            raptor_uri* const p = linkUri(c);
            if (owl) {
                link(p, rdfType, term(v::kOwl, "ObjectProperty"));
            } else {
                link(p, rdfType, term(v::kRdf, "Property"));
                link(p, term(v::kRdfs, "subPropertyOf"),
                     term(v::kSkos, c == 1 ? "broader" : "related"));
            }
            text(p, label, r.Text(title));
            text(p, comment, r.Text(note));
        });
    }

    const TLabelLists labels = ReadLabels(store);
    TTable& concepts = store.DtStOriginalConcepts;
    const int fNo = FieldIndex(concepts, store::kFieldRecordNo);
    const int fTitle = FieldIndex(concepts, store::kFieldTitle);
    const int fIdentifier = FieldIndex(concepts, store::kFieldIdentifier);
    const int fDescription = FieldIndex(concepts, store::kFieldDescription);
    const int fComment = FieldIndex(concepts, store::kFieldComment);
    const int fParent = FieldIndex(concepts, store::kFieldParentNo);
    const int fOrder = FieldIndex(concepts, store::kFieldListOrder);
    const int fX = FieldIndex(concepts, store::kFieldIconPosX);
    const int fY = FieldIndex(concepts, store::kFieldIconPosY);
    const int fCreated = FieldIndex(concepts, store::kFieldDateCreation);
    const int fEdited = FieldIndex(concepts, store::kFieldDateEdition);
    const int fEditor = FieldIndex(concepts, store::kFieldEditor);

    raptor_uri* const conceptClass = term(owl ? v::kOwl : v::kSkos, owl ? "Class" : "Concept");
    raptor_uri* const prefLabel = owl ? label : term(v::kSkos, "prefLabel");
    raptor_uri* const altLabel = term(v::kSkos, "altLabel");
    raptor_uri* const definition =
        owl ? term(v::kObo, "IAO_0000115") : term(v::kSkos, "definition");
    raptor_uri* const note = owl ? comment : term(v::kSkos, "note");
    raptor_uri* const broader = owl ? term(v::kRdfs, "subClassOf") : term(v::kSkos, "broader");
    raptor_uri* const narrower = term(v::kSkos, "narrower");
    raptor_uri* const inScheme = term(v::kSkos, "inScheme");
    raptor_uri* const topConceptOf = term(v::kSkos, "topConceptOf");
    raptor_uri* const hasTopConcept = term(v::kSkos, "hasTopConcept");
    raptor_uri* const identifier = term(v::kDcterms, "identifier");
    raptor_uri* const created = term(v::kDcterms, "created");
    raptor_uri* const modified = term(v::kDcterms, "modified");
    raptor_uri* const contributor = term(v::kDcterms, "contributor");
    raptor_uri* const listOrder = own(v::kListOrder);
    raptor_uri* const iconX = own(v::kIconPosX);
    raptor_uri* const iconY = own(v::kIconPosY);
    raptor_uri* const withoutTitleLabel = own(v::kWithoutTitleLabel);

    const int total = concepts.RecordCount();
    int done = 0;
    concepts.ForEachRecordView([&](const TRecordView& r) {
        const std::int32_t no = r.Integer(fNo);
        const TRaptorUri subject = numbered({}, no);
        raptor_uri* const c = subject.Get();
        link(c, rdfType, conceptClass);
        const std::int32_t parent = r.Integer(fParent);
        if (!owl) {
            link(c, inScheme, baseUri);
            if (parent == 0) {
                link(c, topConceptOf, baseUri);
            }
        }
        const std::string_view title = r.Text(fTitle);
        text(c, prefLabel, title);
        bool titleLabel = false;
        const std::string titleStored = store::TDataModule1::LabelAsStored(title);
        if (const auto found = labels.OfConcept.find(no); found != labels.OfConcept.end()) {
            for (const std::int32_t t : found->second) {
                const auto labelText = labels.Terms.find(t);
                if (labelText == labels.Terms.end()) {
                    continue;
                }
                if (labelText->second == titleStored) {
                    titleLabel = true;
                }
                if (labelText->second != title) {
                    text(c, altLabel, labelText->second);
                }
            }
        }
        if (!titleLabel && !title.empty()) {
            out.Emit(ref(c), withoutTitleLabel, world.LiteralTerm("true", xsdBoolean, {}));
        }
        text(c, definition, r.Text(fDescription));
        text(c, note, r.Text(fComment));
        text(c, identifier, r.Text(fIdentifier), false);
        if (!r.IsNull(fCreated)) {
            out.Emit(ref(c), created,
                     world.LiteralTerm(DateTimeText(r.DateTime(fCreated)), xsdDateTime, {}));
        }
        if (!r.IsNull(fEdited)) {
            out.Emit(ref(c), modified,
                     world.LiteralTerm(DateTimeText(r.DateTime(fEdited)), xsdDateTime, {}));
        }
        text(c, contributor, r.Text(fEditor), false);
        const TRaptorUri parentUri = numbered({}, parent);
        if (parent != 0) {
            link(c, broader, parentUri.Get());
        }
        field(c, listOrder, r, fOrder);
        field(c, iconX, r, fX);
        field(c, iconY, r, fY);
        // The statements about the parent or the scheme last, so that the concept's own stay
        // together (one rdf:Description in RDF/XML).
        if (!owl) {
            if (parent != 0) {
                link(parentUri.Get(), narrower, c);
            } else {
                link(baseUri, hasTopConcept, c);
            }
        }
        ++result.Concepts;
        if (progress && (++done % 1000 == 0 || done == total)) {
            progress(done, total);
        }
    });

    // Mirror images: the relation itself, then a record that keeps its number, place and order.
    TTable& network = store.DtStOriginalNetWork;
    const int nNo = FieldIndex(network, store::kFieldRecordNo);
    const int nFrom = FieldIndex(network, store::kFieldRecordNoFrom);
    const int nTo = FieldIndex(network, store::kFieldRecordNoTo);
    const int nOrder = FieldIndex(network, store::kFieldListOrder);
    const int nCode = FieldIndex(network, store::kFieldLinkCode);
    const int nX = FieldIndex(network, store::kFieldIconPosX);
    const int nY = FieldIndex(network, store::kFieldIconPosY);
    raptor_uri* const mirrorClass = own(v::kMirrorImage);
    raptor_uri* const namedIndividual = term(v::kOwl, "NamedIndividual");
    raptor_uri* const restriction = term(v::kOwl, "Restriction");
    raptor_uri* const onProperty = term(v::kOwl, "onProperty");
    raptor_uri* const someValuesFrom = term(v::kOwl, "someValuesFrom");
    raptor_uri* const mirrorOf = own(v::kMirrorOf);
    raptor_uri* const shownUnder = own(v::kShownUnder);
    raptor_uri* const linkCode = own(v::kLinkCode);
    network.ForEachRecordView([&](const TRecordView& r) {
        const std::int32_t linkNo = r.Integer(nNo);
        const TRaptorUri fromUri = numbered({}, r.Integer(nFrom));
        const TRaptorUri toUri = numbered({}, r.Integer(nTo));
        raptor_uri* const from = fromUri.Get();
        raptor_uri* const to = toUri.Get();
        const std::int32_t code = r.Integer(nCode);
        if (code == 1) {
            link(to, broader, from);
            if (!owl) {
                link(from, narrower, to);
            }
        } else if (owl) {
            const std::string node = "r" + std::to_string(linkNo);
            out.Emit(ref(to), broader, world.BlankTerm(node));
            out.Emit(world.BlankTerm(node), rdfType, ref(restriction));
            out.Emit(world.BlankTerm(node), onProperty, ref(linkUri(code)));
            out.Emit(world.BlankTerm(node), someValuesFrom, ref(from));
        } else {
            link(to, linkUri(code), from);
        }
        const TRaptorUri record = numbered(v::kMirrorPrefix, linkNo);
        raptor_uri* const m = record.Get();
        link(m, rdfType, mirrorClass);
        if (owl) {
            link(m, rdfType, namedIndividual);
        }
        link(m, mirrorOf, to);
        link(m, shownUnder, from);
        integer(m, linkCode, code);
        field(m, listOrder, r, nOrder);
        field(m, iconX, r, nX);
        field(m, iconY, r, nY);
        ++result.MirrorImages;
    });

    out.End();
    result.Triples = out.Triples();
    result.Replaced = textOut.Replaced();
    return result;
}

TRdfExportResult ExportRdfFile(store::TDataModule1& store, const store::TOntology& ontology,
                               const TRdfExportOptions& options, const std::string& path,
                               store::TFileSystem& fileSystem,
                               const std::function<void(int done, int total)>& progress) {
    store::TFileReplacement file(fileSystem, path);
    const TRdfExportResult result = ExportRdf(
        store, ontology, options, [&](std::string_view bytes) { file.Write(bytes); }, progress);
    file.Commit();
    return result;
}

}  // namespace velmora::exchange
