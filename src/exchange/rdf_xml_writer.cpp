#include "rdf_xml_writer.h"

#include <libxml/xmlwriter.h>

#include <exception>
#include <utility>

#include "rdf_export.h"
#include "rdf_vocabulary.h"

namespace velmora::exchange {

namespace {

const xmlChar* Xml(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

bool IsNameStart(unsigned char c) {
    // Bytes of multi-byte UTF-8 sequences stand for letters beyond ASCII, which XML names allow.
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

bool IsNameChar(unsigned char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

}  // namespace

std::pair<std::string_view, std::string_view> SplitIriForXml(std::string_view iri) {
    std::size_t start = iri.size();
    while (start > 0 && IsNameChar(static_cast<unsigned char>(iri[start - 1]))) {
        --start;
    }
    while (start < iri.size() && !IsNameStart(static_cast<unsigned char>(iri[start]))) {
        ++start;
    }
    // A name may not start inside a multi-byte sequence.
    while (start < iri.size() && (static_cast<unsigned char>(iri[start]) & 0xC0) == 0x80) {
        ++start;
    }
    return {iri.substr(0, start), iri.substr(start)};
}

// The libxml2 writer and the text not yet handed to the sink.
struct TRdfXmlWriter::TXml {
    xmlTextWriterPtr writer = nullptr;
    std::string pending;
    std::exception_ptr failure;
    std::function<void(std::string_view)>* sink = nullptr;

    void Flush() {
        if (!pending.empty()) {
            (*sink)(pending);
            pending.clear();
        }
    }

    // An exception of the sink cannot cross libxml2's C frames: it is kept, and the write
    // reports a failure.
    static int Write(void* context, const char* buffer, int length) {
        auto& self = *static_cast<TXml*>(context);
        if (self.failure) {
            return -1;
        }
        try {
            self.pending.append(buffer, static_cast<std::size_t>(length));
            if (self.pending.size() >= (1u << 16)) {
                self.Flush();
            }
            return length;
        } catch (...) {
            self.failure = std::current_exception();
            return -1;
        }
    }
    static int Close(void*) { return 0; }
};

TRdfXmlWriter::TRdfXmlWriter(std::function<void(std::string_view)> sink)
    : m_sink(std::move(sink)), m_xml(std::make_unique<TXml>()) {
    m_xml->sink = &m_sink;
    xmlOutputBufferPtr out =
        xmlOutputBufferCreateIO(&TXml::Write, &TXml::Close, m_xml.get(), nullptr);
    if (out != nullptr) {
        m_xml->writer = xmlNewTextWriter(out);  // owns out from here on, even when it fails
    }
    if (m_xml->writer == nullptr) {
        throw ERdfError("RDF の書き出しを準備できません.");
    }
    Check(xmlTextWriterSetIndent(m_xml->writer, 1));
    Check(xmlTextWriterSetIndentString(m_xml->writer, Xml("  ")));
}

TRdfXmlWriter::~TRdfXmlWriter() {
    if (m_xml->writer != nullptr) {
        xmlFreeTextWriter(m_xml->writer);
    }
}

void TRdfXmlWriter::Check(int result) {
    if (m_xml->failure) {
        std::rethrow_exception(std::exchange(m_xml->failure, nullptr));
    }
    if (result < 0) {
        throw ERdfError("RDF の書き出しに失敗しました: RDF/XML を書けません.");
    }
}

void TRdfXmlWriter::Attribute(const char* name, std::string_view value) {
    m_scratch.assign(value);
    Check(xmlTextWriterWriteAttribute(m_xml->writer, Xml(name), Xml(m_scratch.c_str())));
}

void TRdfXmlWriter::Namespace(std::string_view iri, std::string_view prefix) {
    m_prefixes.insert_or_assign(std::string(iri), std::string(prefix));
}

void TRdfXmlWriter::Start() {
    Check(xmlTextWriterStartDocument(m_xml->writer, nullptr, "UTF-8", nullptr));
    Check(xmlTextWriterStartElement(m_xml->writer, Xml("rdf:RDF")));
    m_prefixes.insert_or_assign(std::string(rdf::kRdf), "rdf");
    for (const auto& [iri, prefix] : m_prefixes) {
        Attribute(("xmlns:" + prefix).c_str(), iri);
    }
}

void TRdfXmlWriter::CloseSubject() {
    if (m_inSubject) {
        Check(xmlTextWriterEndElement(m_xml->writer));
        m_inSubject = false;
    }
}

void TRdfXmlWriter::Statement(const TRdfNode& subject, std::string_view predicate,
                              const TRdfNode& object) {
    if (subject.Kind == TRdfNode::TKind::Literal) {
        throw ERdfError("RDF の書き出しに失敗しました: 主語がリテラルです.");
    }
    const auto [ns, local] = SplitIriForXml(predicate);
    if (local.empty()) {
        throw ERdfError("RDF の書き出しに失敗しました: 述語 <" + std::string(predicate) +
                        "> は RDF/XML で書けません (末尾が XML の名前ではありません).");
    }
    if (!m_inSubject || subject.Kind != m_subjectKind || subject.Text != m_subject) {
        CloseSubject();
        Check(xmlTextWriterStartElement(m_xml->writer, Xml("rdf:Description")));
        Attribute(subject.Kind == TRdfNode::TKind::Blank ? "rdf:nodeID" : "rdf:about",
                  subject.Text);
        m_inSubject = true;
        m_subjectKind = subject.Kind;
        m_subject.assign(subject.Text);
    }

    // A namespace without a prefix of the root is declared on the element itself.
    const auto known = m_prefixes.find(ns);
    const std::string prefix = known != m_prefixes.end() ? known->second : "ns0";
    Check(
        xmlTextWriterStartElement(m_xml->writer, Xml((prefix + ":" + std::string(local)).c_str())));
    if (known == m_prefixes.end()) {
        Attribute("xmlns:ns0", ns);
    }
    switch (object.Kind) {
        case TRdfNode::TKind::Iri:
            Attribute("rdf:resource", object.Text);
            break;
        case TRdfNode::TKind::Blank:
            Attribute("rdf:nodeID", object.Text);
            break;
        case TRdfNode::TKind::Literal:
            if (!object.Language.empty()) {
                Attribute("xml:lang", object.Language);
            } else if (!object.Datatype.empty()) {
                Attribute("rdf:datatype", object.Datatype);
            }
            m_scratch.assign(object.Text);
            Check(xmlTextWriterWriteString(m_xml->writer, Xml(m_scratch.c_str())));
            break;
    }
    // libxml2 closes an element without content as an empty element.
    Check(xmlTextWriterEndElement(m_xml->writer));
}

void TRdfXmlWriter::End() {
    CloseSubject();
    Check(xmlTextWriterEndDocument(m_xml->writer));
    Check(xmlTextWriterFlush(m_xml->writer));
    m_xml->Flush();
}

}  // namespace velmora::exchange
