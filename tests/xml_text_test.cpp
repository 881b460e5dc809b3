// The visible text of XML parts: what counts in each vocabulary, and what hostile input does to the reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "readers/xml_text.h"

namespace quorvin::readers {
namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The worst a source may do to the tokenizer: one byte per read, and maybe a failure at the end.
class OneByteSource final : public Source {
public:
    explicit OneByteSource(std::string_view bytes, bool failsAtEnd = false)
        : bytes_(bytesOf(bytes)), failsAtEnd_(failsAtEnd)
    {
    }
    std::size_t read(std::span<std::uint8_t> into) override
    {
        if (bytes_.empty() && failsAtEnd_) throw UnreadablePart(Fault::Corrupt, "bad data");
        if (bytes_.empty() || into.empty()) return 0;
        into[0] = bytes_[0];
        bytes_ = bytes_.subspan(1);
        return 1;
    }
    std::size_t unread() const { return bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
    bool failsAtEnd_;
};

// Pieces of uneven sizes, so that tags, names, references and line ends straddle the reader's chunks.
class UnevenSource final : public Source {
public:
    explicit UnevenSource(std::string_view bytes) : bytes_(bytesOf(bytes)) {}
    std::size_t read(std::span<std::uint8_t> into) override
    {
        static constexpr std::size_t kSizes[] = {5, 1, 61, 2, 3, 509, 8, 4093};
        const std::size_t count = std::min({into.size(), bytes_.size(), kSizes[reads_++ % std::size(kSizes)]});
        std::copy_n(bytes_.begin(), count, into.begin());
        bytes_ = bytes_.subspan(count);
        return count;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t reads_ = 0;
};

// The text, or what stopped the reading.
std::string outcome(Source& source, Vocabulary vocabulary)
{
    std::string text;
    try {
        readXmlText(source, vocabulary, [&](std::span<const std::uint8_t> piece) {
            text.append(reinterpret_cast<const char*>(piece.data()), piece.size());
            return false;
        });
    } catch (const UnreadablePart& fault) {
        text += fault.fault() == Fault::TooDeep ? "[too deep]" : "[other fault]";
    }
    return text;
}

// Read at once, byte by byte and in uneven pieces: all must give the same.
std::string textOf(std::string_view xml, Vocabulary vocabulary)
{
    MemorySource whole(bytesOf(xml));
    OneByteSource slow(xml);
    UnevenSource uneven(xml);
    const std::string text = outcome(whole, vocabulary);
    EXPECT_EQ(outcome(slow, vocabulary), text);
    EXPECT_EQ(outcome(uneven, vocabulary), text);
    return text;
}

TEST(XmlText, WordJoinsRunsAndGivesSeparators)
{
    EXPECT_EQ(textOf("<w:document><w:body><w:p><w:pPr><w:tabs><w:tab w:val=\"left\" w:pos=\"720\"/></w:tabs></w:pPr>"
                     "<w:r><w:t>rendez-</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>vous</w:t></w:r></w:p>\n"
                     "<w:p><w:r><w:t>a</w:t><w:tab/><w:t>b</w:t><w:br/><w:t>c</w:t><w:cr/><w:t>d</w:t>"
                     "<w:noBreakHyphen/><w:t xml:space=\"preserve\">e  </w:t></w:r></w:p><w:p/>"
                     "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>x</w:t></w:r></w:p></w:tc>"
                     "<w:tc><w:p><w:r><w:t>y</w:t></w:r></w:p></w:tc></w:tr></w:tbl></w:body></w:document>",
                     Vocabulary::WordProcessing),
              "rendez-vous\na\tb\nc\nd-e  \n\nx\n\ty\n\t");
}

TEST(XmlText, WordNeverCountsRevisionsFieldCodesMarkupOrAlternatives)
{
    EXPECT_EQ(textOf("<w:p><w:pPr><w:pStyle w:val=\"HEADING\"/></w:pPr><w:r><w:t>kept </w:t></w:r>"
                     "<w:del w:author=\"AUTHOR\"><w:r><w:delText>DELETED</w:delText></w:r></w:del>"
                     "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> PAGE </w:instrText></w:r>"
                     "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r><w:r><w:t>7</w:t></w:r>"
                     "<w:r><mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing><w:txbxContent>"
                     "<w:p><w:r><w:t>box</w:t></w:r></w:p></w:txbxContent></w:drawing></mc:Choice>"
                     "<mc:Choice Requires=\"other\"><w:p><w:r><w:t>SECOND</w:t></w:r></w:p></mc:Choice>"
                     "<mc:Fallback><w:pict><w:txbxContent><w:p><w:r><w:t>FALLBACK</w:t></w:r></w:p></w:txbxContent>"
                     "</w:pict></mc:Fallback></mc:AlternateContent></w:r></w:p>",
                     Vocabulary::WordProcessing),
              "kept 7box\n\n");
}

TEST(XmlText, SpreadsheetsGiveStringsValuesAndSheetNames)
{
    EXPECT_EQ(textOf("<sst><si><t>plain</t></si><si><r><rPr><b/></rPr><t>rich</t></r><r><t> text</t></r>"
                     "<rPh sb=\"0\" eb=\"1\"><t>PHONETIC</t></rPh></si><x:si><x:t>prefixed</x:t></x:si></sst>",
                     Vocabulary::SharedStrings),
              "plain\nrich text\nprefixed\n");
    EXPECT_EQ(textOf("<worksheet><sheetData><row r=\"1\"><c r=\"A1\" s=\"3\" t=\"s\"><v>17</v></c><c><v>42.5</v></c>"
                     "<c><f>SUM(B1)</f><v>42.5</v></c><c t=\"inlineStr\"><is><t>in</t><r><t>line</t></r></is></c>"
                     "<c t='str'><f>\"FORMULA\"</f><v>str</v></c></row><row><c><v>1</v></c></row></sheetData>"
                     "</worksheet>",
                     Vocabulary::Worksheet),
              "\t42.5\t42.5\tinline\tstr\t\n1\t\n");
    EXPECT_EQ(
        textOf("<workbook><sheets><sheet name=\"Ventes\" sheetId=\"1\"/><sheet sheetId=\"2\" name='R&amp;D \"24\"'/>"
               "</sheets><definedNames><definedName name=\"HIDDEN\">Ventes!$A$1</definedName></definedNames>"
               "</workbook>",
               Vocabulary::Workbook),
        "Ventes\nR&D \"24\"\n");
}

TEST(XmlText, PresentationGivesParagraphsOnce)
{
    EXPECT_EQ(textOf("<p:sld><p:cSld><p:spTree><p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"TITLE 1\"/></p:nvSpPr>"
                     "<p:txBody><a:p><a:r><a:rPr lang=\"fr-FR\"/><a:t>Bon</a:t></a:r><a:r><a:t>jour</a:t></a:r>"
                     "<a:br><a:rPr/></a:br><a:r><a:t>monde</a:t></a:r></a:p><a:p><a:fld type=\"slidenum\">"
                     "<a:t>3</a:t></a:fld></a:p></p:txBody></p:sp><mc:AlternateContent><mc:Choice Requires=\"p14\">"
                     "<a:p><a:r><a:t>once</a:t></a:r></a:p></mc:Choice><mc:Fallback><a:p><a:r><a:t>TWICE</a:t>"
                     "</a:r></a:p></mc:Fallback></mc:AlternateContent></p:spTree></p:cSld></p:sld>",
                     Vocabulary::Presentation),
              "Bonjour\nmonde\n3\nonce\n");
}

TEST(XmlText, OpenDocumentGivesBodyAndMasterPages)
{
    EXPECT_EQ(
        textOf(
            "<office:document-content><office:automatic-styles><style:style style:name=\"STYLE\"/>"
            "</office:automatic-styles><office:body><office:text>\n  <text:tracked-changes><text:changed-region>"
            "<text:deletion><text:p>DELETED</text:p></text:deletion></text:changed-region></text:tracked-changes>\n"
            "  <text:h text:style-name=\"H1\">Title</text:h>\n  <text:p>a<text:s text:c=\"3\"/>b<text:tab/>c"
            "<text:line-break/>d<text:s/>e <text:bookmark-ref>ref</text:bookmark-ref></text:p>\n"
            "  <text:p>x<office:annotation><dc:creator>AUTHOR</dc:creator><dc:date>2024</dc:date>"
            "<text:p>comment</text:p></office:annotation>y<office:annotation-end/></text:p>\n"
            "  <text:p>n<text:note><text:note-citation>1</text:note-citation><text:note-body><text:p>foot"
            "</text:p></text:note-body></text:note><draw:frame><draw:image><office:binary-data>QkFTRTY0"
            "</office:binary-data></draw:image><svg:title>ALT</svg:title></draw:frame></text:p>\n"
            "<table:table table:name=\"TABLE1\"><table:table-row><table:table-cell><text:p>cell</text:p>"
            "</table:table-cell></table:table-row></table:table></office:text></office:body></office:document-content>",
            Vocabulary::OpenDocument),
        "Title\na   b\tc\nd e ref\nxcomment\ny\nn1foot\n\ncell\n\t\n");
    const std::string_view flat =
        "<office:document><office:meta><dc:title>META</dc:title></office:meta><office:styles>"
        "<style:style style:name=\"STYLE\"/></office:styles><office:master-styles><style:master-page>"
        "<style:header><text:p>head</text:p></style:header></style:master-page></office:master-styles><office:body>"
        "<office:spreadsheet><table:table table:name=\"Budget &amp; co\"><table:table-row><table:table-cell>"
        "<text:p>1</text:p></table:table-cell><table:table-cell/></table:table-row></table:table></office:spreadsheet>"
        "</office:body></office:document>";
    EXPECT_EQ(textOf(flat, Vocabulary::OpenDocument), "head\nBudget & co\n1\n\t\t\n");
    EXPECT_EQ(textOf(flat, Vocabulary::OpenDocumentStyles), "head\n");
}

TEST(XmlText, XhtmlGivesTheBodyAsRendered)
{
    EXPECT_EQ(
        textOf("<?xml version=\"1.0\"?><!DOCTYPE html><html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
               "<title>TITLE</title><style>p{}</style></head>\n<BODY class=\"CLASS\">\n  Lead<H1>Chapter  One</H1>\n"
               "<p>Some   <em>spaced</em>\n text&nbsp;here&eacute;&hellip;</p><script>SCRIPT</script>"
               "<template>TEMPLATE</template><pre>  keep   this  </pre><p>line<br/>break</p>"
               "<div><p>nested</p></div><table><tr><td>a</td> <td>b</td></tr></table></BODY></html>",
               Vocabulary::Xhtml),
        "Lead\nChapter One\nSome spaced text\u00A0here\u00E9\u2026\n  keep   this  \nline\nbreak\nnested\na\tb\t\n");
}

TEST(XmlText, ExpandsReferencesAndCharacterData)
{
    const auto word = [](std::string_view inside) {
        return textOf("<w:t>" + std::string(inside) + "</w:t>", Vocabulary::WordProcessing);
    };
    EXPECT_EQ(word("&lt;&gt;&amp;&quot;&apos; &#233;&#xE9;&#x1F600;"), "<>&\"' \u00E9\u00E9\U0001F600");
    EXPECT_EQ(word("[&#xD800;][&#x110000;][&#99999999999;][&#0;][&#;][&#12a][&#xZ;]"),
              "[\uFFFD][\uFFFD][\uFFFD][\uFFFD][\uFFFD][\uFFFDa][\uFFFDZ;]");
    EXPECT_EQ(word("&foo; & b &nbsp; AT&T;"), "&foo; & b &nbsp; AT&T;");
    EXPECT_EQ(word("<![CDATA[<w:t>a&amp;b</w:t>]]]>c"), "<w:t>a&amp;b</w:t>]c");
    EXPECT_EQ(word("a\r\nb\rc&#13;"), "a\nb\nc\r");
    EXPECT_EQ(word("a<!-- <w:t>no</w:t> --->b<?pi <w:t>no</w:t> ?>c < d"), "abc < d");
    EXPECT_EQ(textOf("<w:r a=\"x>y\" b='<w:t>no</w:t>'><w:t>kept</w:t></w:r>", Vocabulary::WordProcessing), "kept");
}

TEST(XmlText, ReadsTagsAsTheTokenizerDefinesThem)
{
    const auto word = [](std::string_view xml) { return textOf(xml, Vocabulary::WordProcessing); };
    // Only a quote right after '=' opens a value, and an unquoted value runs to white space or '>'.
    EXPECT_EQ(word("<w:t a=b/>seen</w:t>"), "seen");
    EXPECT_EQ(word("<w:t a= />seen</w:t>"), "seen");
    EXPECT_EQ(word("<w:t =\"x>seen</w:t>"), "seen");
    EXPECT_EQ(word("<w:t a=\"/>\" b='>'>seen</w:t>"), "seen");
    EXPECT_EQ(word("<w:t/ >seen</w:t><w:t/>hidden"), "seen");
    EXPECT_EQ(word("<w:t\t\r\nxml:space\n=\n\"preserve\"\r>seen</w:t>"), "seen");
    // Names are told apart in full, as far as the kept 256 bytes.
    EXPECT_EQ(word("<abcdefghij><w:t>x</abcdefghik>y</w:t></abcdefghij>"), "xy");
    EXPECT_EQ(word(std::string("<w:t>a</w:t><w:tX>no</w:tX><w:t\0>no</w:t\0><w:t", 46)), "a");
    const std::string kept(256, 'n');
    EXPECT_EQ(word("<" + kept + "A><w:t>x</" + kept + "B>y</w:t>"), "x");
    EXPECT_EQ(word("<" + kept.substr(56) + "A><w:t>x</" + kept.substr(56) + "B>y</w:t>"), "xy");
    // A line end is read whole before it counts: a source failing after a CR leaves it out, and in CDATA
    // the brackets before it.
    OneByteSource failing("<w:t>a\r", true);
    EXPECT_EQ(outcome(failing, Vocabulary::WordProcessing), "a[other fault]");
    OneByteSource failingInData("<body><![CDATA[a]]\r", true);
    EXPECT_EQ(outcome(failingInData, Vocabulary::Xhtml), "a[other fault]");
}

TEST(XmlText, NeverExpandsNorFollowsDeclaredEntities)
{
    EXPECT_EQ(textOf("<?xml version=\"1.0\"?>\n<!DOCTYPE w:document [\n  <!ENTITY e \"SECRET\">\n"
                     "  <!ENTITY ext SYSTEM \"file:///etc/passwd\">\n  <!-- a ] and a ' in a comment -->\n"
                     "  <!ATTLIST x y CDATA \"]>\">\n]>\n<w:document><w:t>&e;&ext;after</w:t></w:document>",
                     Vocabulary::WordProcessing),
              "&e;&ext;after");
    EXPECT_EQ(
        textOf("<!DOCTYPE html SYSTEM \"file:///etc/passwd\"><html><body>ok &e;</body></html>", Vocabulary::Xhtml),
        "ok &e;");
}

TEST(XmlText, SurvivesHostileInput)
{
    std::string deep = "<w:p><w:r><w:t>before</w:t></w:r>";
    for (int i = 0; i < 100000; ++i) deep += "<a>";
    EXPECT_EQ(textOf(deep, Vocabulary::WordProcessing), "before[too deep]");
    std::string allowed;
    for (std::size_t i = 0; i < kMaxElementDepth; ++i) allowed += "<a>";
    EXPECT_EQ(textOf(allowed + "<w:t>x</w:t>", Vocabulary::WordProcessing), "[too deep]");
    EXPECT_EQ(textOf(allowed.substr(3) + "<w:t>x</w:t>", Vocabulary::WordProcessing), "x");

    const std::string longName(1 << 20, 'n');
    EXPECT_EQ(
        textOf("<w:t>a</w:t><" + longName + " x='1'>b</" + longName + "><w:t>c</w:t>", Vocabulary::WordProcessing),
        "ac");
    std::string euros;
    for (int i = 0; i < 100000; ++i) euros += "\u20AC";
    std::string kept;
    for (int i = 0; i < 85; ++i) kept += "\u20AC";  // what fits whole in 256 bytes
    EXPECT_EQ(textOf("<sheets><sheet name=\"" + euros + "\"/></sheets>", Vocabulary::Workbook), kept + "\n");

    EXPECT_EQ(textOf("<w:t>kept</w:t><!-- never closed <w:t>no</w:t>", Vocabulary::WordProcessing), "kept");
    EXPECT_EQ(textOf("<w:t>kept<![CDATA[ and cut]", Vocabulary::WordProcessing), "kept and cut]");
    EXPECT_EQ(textOf("<w:r><w:t>kept</w:t><w:br a=\"never closed><w:t>no</w:t>", Vocabulary::WordProcessing), "kept");
    EXPECT_EQ(textOf("<w:t>kept &#x4", Vocabulary::WordProcessing), "kept \uFFFD");
    EXPECT_EQ(textOf("<!DOCTYPE x [ <!ENTITY e 'never closed", Vocabulary::WordProcessing), "");
    EXPECT_EQ(textOf("<office:body><text:p><text:s text:c=\"99999999999\"/></text:p></office:body>",
                     Vocabulary::OpenDocument),
              std::string(1000, ' ') + "\n");
    EXPECT_EQ(textOf("<office:body>" + std::string(300, ' ') + "x</office:body>", Vocabulary::OpenDocument),
              std::string(256, ' ') + "x");
    OneByteSource failing("<w:p><w:t>read</w:t></w:p><w:t>cut", true);
    EXPECT_EQ(outcome(failing, Vocabulary::WordProcessing), "read\ncut[other fault]");

    // Random markup and bytes: no crash, and the same outcome whatever the source's pieces.
    const std::string_view fragments[] = {
        // elements that hold text or give separators, in each vocabulary
        "<w:t>", "</w:t>", "<w:p>", "</w:p>", "<a:t>", "<t>", "<si>", "<c t=\"s\">", "<v>", "<body>", "<p>", "<pre>",
        "<office:body>", "<text:p>", "<text:s text:c='9'/>", "<mc:AlternateContent>", "<mc:Choice>", "<mc:Fallback>",
        "</mc:AlternateContent>",
        // what the tokenizer must keep apart
        "<![CDATA[", "]]>", "<!--", "-->", "<?", "?>", "<!DOCTYPE x [", "]>", "&", "&#x", ";", "&amp;", "\"", "'", "/>",
        ">", "<", " ", "\r\n", "text", "\xC3\xA9", "\xFF"};
    std::mt19937 random(42);
    for (int round = 0; round < 60; ++round) {
        std::string input;
        while (input.size() < 4000) {
            if (random() % 4 == 0) {
                input += static_cast<char>(random());
            } else {
                input += fragments[random() % std::size(fragments)];
            }
        }
        for (int vocabulary = 0; vocabulary <= static_cast<int>(Vocabulary::Xhtml); ++vocabulary) {
            textOf(input, static_cast<Vocabulary>(vocabulary));
        }
    }
}

TEST(XmlText, HandsTextInBoundedPiecesAndStopsWhenTold)
{
    std::string xml = "<w:t>";
    for (int i = 0; i < 100000; ++i) xml += "a\u00E9";
    xml += "</w:t>";
    std::vector<std::size_t> sizes;
    std::string text;
    MemorySource source(bytesOf(xml));
    EXPECT_FALSE(readXmlText(source, Vocabulary::WordProcessing, [&](std::span<const std::uint8_t> piece) {
        sizes.push_back(piece.size());
        text.append(reinterpret_cast<const char*>(piece.data()), piece.size());
        EXPECT_NE(piece.front() & 0xC0, 0x80);  // never cut inside a character
        return false;
    }));
    EXPECT_EQ(text.size(), 300000u);
    EXPECT_GE(sizes.size(), 9u);
    for (const std::size_t size : sizes) EXPECT_LE(size, 32u * 1024 + 4);

    int calls = 0;
    OneByteSource again(xml);
    EXPECT_TRUE(readXmlText(again, Vocabulary::WordProcessing, [&](std::span<const std::uint8_t>) {
        ++calls;
        return true;
    }));
    EXPECT_EQ(calls, 1);
    EXPECT_GT(again.unread(), 200000u);  // the rest is never read
    MemorySource small(bytesOf("<w:t>found</w:t>"));
    EXPECT_TRUE(readXmlText(small, Vocabulary::WordProcessing, [](std::span<const std::uint8_t>) { return true; }));

    // Bytes that are no UTF-8 are cut anywhere rather than gathered without end.
    const std::string garbage = "<w:t>" + std::string(100000, '\x80') + "</w:t>";
    MemorySource malformed(bytesOf(garbage));
    std::size_t total = 0;
    readXmlText(malformed, Vocabulary::WordProcessing, [&](std::span<const std::uint8_t> piece) {
        EXPECT_LE(piece.size(), 32u * 1024 + 4);
        total += piece.size();
        return false;
    });
    EXPECT_EQ(total, 100000u);
}

TEST(XmlText, CollapsesXhtmlWhiteSpaceAcrossPieces)
{
    // Far more than a piece of words between runs of every kind of white space, and a NUL, after which a
    // run gives no space, as at a line's start.
    std::mt19937 random(7);
    const std::string_view spaces[] = {" ", "  ", "\t", "\r\n", "\n \f ", "\r"};
    std::string xml = "<body><p>";
    std::string expected;
    for (int i = 0; i < 40000; ++i) {
        const std::string word(1 + random() % 9, static_cast<char>('a' + random() % 26));
        xml += std::string(spaces[random() % std::size(spaces)]) + word;
        expected += (i == 0 ? "" : " ") + word;
    }
    xml += std::string("\0  z", 4);
    expected += std::string("\0z", 2);
    EXPECT_EQ(textOf(xml + " </p></body>", Vocabulary::Xhtml), expected + "\n");
    // Names match whatever the case of their ASCII letters, and only of those.
    EXPECT_EQ(textOf("<body><p>a<ZA><pre>b  c</za>d  e</p><p>f<a@><pre>g  h</a`>i  j</p></body>", Vocabulary::Xhtml),
              "a\nb  c\nd e\nf\ng  hi  j\n");
}

TEST(XmlText, ReadsLongDocumentsWholeWhateverTheChunks)
{
    // Many short tags and runs of text, so that every kind of chunk end falls inside one of them.
    std::mt19937 random(3);
    std::string xml = "<w:document><w:body>";
    std::string expected;
    for (int paragraph = 0; paragraph < 3000; ++paragraph) {
        xml += "<w:p w:rsidR=\"00A1\"><w:pPr><w:pStyle w:val=\"Normal\"/></w:pPr>";
        for (int run = 0; run < 3; ++run) {
            const std::string text(random() % 40, static_cast<char>('a' + random() % 26));
            xml += "<w:r><w:rPr><w:b w:val='0'/></w:rPr><w:t xml:space=\"preserve\">" + text + "&amp;</w:t></w:r>";
            expected += text + "&";
        }
        xml += "</w:p>\r\n";
        expected += "\n";
    }
    EXPECT_EQ(textOf(xml + "</w:body></w:document>", Vocabulary::WordProcessing), expected);
}

}  // namespace
}  // namespace quorvin::readers
