// quorvin-make-text FILE BYTES: writes BYTES bytes of Windows-1252 prose, French and English paragraphs
// with capitals, accents, punctuation and CR LF line breaks, the same bytes on every machine. The file
// ends with the line "Fin du relevé KX-4711." (in its last 100 bytes) for the found-at-the-end runs.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/code_page.h"

namespace {

// The words fill their lines.
// clang-format off
constexpr std::u16string_view kFrench[] = {
    u"le", u"la", u"les", u"de", u"des", u"du", u"un", u"une", u"et", u"en", u"à", u"au", u"aux", u"pour",
    u"dans", u"sur", u"par", u"avec", u"sans", u"sous", u"chez", u"entre", u"vers", u"mais", u"ou", u"donc",
    u"car", u"que", u"qui", u"dont", u"où", u"ne", u"pas", u"plus", u"très", u"déjà", u"encore", u"aussi",
    u"toujours", u"jamais", u"ici", u"là", u"après", u"avant", u"depuis", u"pendant", u"il", u"elle", u"nous",
    u"vous", u"ils", u"elles", u"on", u"ce", u"cette", u"ces", u"son", u"sa", u"ses", u"leur", u"notre",
    u"est", u"sont", u"était", u"sera", u"fait", u"faire", u"dit", u"peut", u"doit", u"veut", u"va", u"vont",
    u"avait", u"ont", u"eu", u"pris", u"mis", u"vu", u"venu", u"parti", u"resté", u"trouvé", u"donné",
    u"maison", u"ville", u"pays", u"monde", u"année", u"jour", u"soir", u"matin", u"nuit", u"semaine",
    u"temps", u"homme", u"femme", u"enfant", u"ami", u"père", u"mère", u"frère", u"sœur", u"cœur", u"œuvre",
    u"œuf", u"bœuf", u"vœu", u"nœud", u"manœuvre", u"école", u"élève", u"étude", u"écriture", u"lettre",
    u"livre", u"page", u"fenêtre", u"tête", u"forêt", u"château", u"hôpital", u"hôtel", u"île", u"goût",
    u"août", u"noël", u"naïf", u"maïs", u"français", u"garçon", u"leçon", u"façade", u"reçu", u"déçu",
    u"première", u"dernière", u"légère", u"chère", u"scène", u"système", u"problème", u"thème", u"fidèle",
    u"à-côté", u"bientôt", u"plutôt", u"côte", u"rôle", u"pôle", u"dépôt", u"âge", u"âme", u"pâte",
    u"théâtre", u"général", u"société", u"qualité", u"liberté", u"vérité", u"beauté", u"santé", u"café",
    u"idée", u"musée", u"entrée", u"journée", u"soirée", u"pensée", u"armée", u"rivière", u"lumière",
    u"question", u"réponse", u"travail", u"histoire", u"mémoire", u"victoire", u"gloire", u"mouvement",
    u"gouvernement", u"développement", u"recherche", u"fichier", u"chaîne", u"caractère", u"mot", u"phrase",
    u"grand", u"petit", u"beau", u"belle", u"nouveau", u"nouvelle", u"vieux", u"jeune", u"long", u"court",
    u"haut", u"bas", u"fort", u"faible", u"rapide", u"lent", u"simple", u"difficile", u"possible", u"rouge",
    u"blanc", u"noir", u"vert", u"bleu", u"gris", u"brun", u"clair", u"sombre", u"chaud", u"froid",
    u"Paris", u"Lyon", u"Marseille", u"Genève", u"Québec", u"Bruxelles", u"Montréal", u"Orléans", u"Nîmes",
    u"Besançon", u"Zoé", u"Élodie", u"Hélène", u"Jérôme", u"François", u"Loïc", u"Noémie", u"Aurélien",
    u"L'Haÿ-les-Roses", u"Œdipe", u"Ève", u"Émile", u"Ægir", u"Ångström", u"Ørsted", u"Müller", u"Øystein",
};
// clang-format on

// The words fill their lines.
// clang-format off
constexpr std::u16string_view kEnglish[] = {
    u"the", u"of", u"and", u"to", u"in", u"is", u"was", u"that", u"for", u"it", u"with", u"as", u"his",
    u"on", u"be", u"at", u"by", u"had", u"not", u"are", u"but", u"from", u"or", u"have", u"an", u"they",
    u"which", u"one", u"you", u"were", u"her", u"all", u"she", u"there", u"would", u"their", u"we", u"him",
    u"been", u"has", u"when", u"who", u"will", u"more", u"no", u"if", u"out", u"so", u"said", u"what", u"up",
    u"its", u"about", u"into", u"than", u"them", u"can", u"only", u"other", u"new", u"some", u"could",
    u"time", u"these", u"two", u"may", u"then", u"do", u"first", u"any", u"my", u"now", u"such", u"like",
    u"our", u"over", u"man", u"me", u"even", u"most", u"made", u"after", u"also", u"did", u"many", u"before",
    u"must", u"through", u"back", u"years", u"where", u"much", u"your", u"way", u"well", u"down", u"should",
    u"because", u"each", u"just", u"those", u"people", u"how", u"too", u"little", u"state", u"good", u"very",
    u"make", u"world", u"still", u"own", u"see", u"men", u"work", u"long", u"get", u"here", u"between",
    u"both", u"life", u"being", u"under", u"never", u"day", u"same", u"another", u"know", u"while", u"last",
    u"might", u"us", u"great", u"old", u"year", u"off", u"come", u"since", u"against", u"go", u"came",
    u"right", u"used", u"take", u"three", u"house", u"water", u"number", u"morning", u"evening", u"window",
    u"letter", u"garden", u"river", u"mountain", u"question", u"answer", u"history", u"government",
    u"development", u"research", u"system", u"problem", u"family", u"country", u"village", u"market",
    u"street", u"station", u"office", u"company", u"manager", u"teacher", u"student", u"doctor", u"nurse",
    u"quickly", u"slowly", u"quiet", u"queen", u"quality", u"square", u"equal", u"jury", u"job", u"joy",
    u"box", u"tax", u"six", u"next", u"extra", u"size", u"zone", u"lazy", u"crazy", u"amazing", u"frozen",
    u"London", u"Oxford", u"Boston", u"Dublin", u"Edinburgh", u"Thames", u"Victoria", u"James", u"Mary",
    u"Robert", u"Elizabeth", u"William", u"Margaret", u"Thomas", u"Catherine", u"Henry", u"Charlotte",
    u"café", u"naïve", u"résumé", u"fiancée", u"déjà", u"façade", u"rôle", u"Zoë", u"Brontë", u"Chloë",
};
// clang-format on

// xorshift64*: the same numbers everywhere, unlike the standard distributions.
struct Random {
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    std::uint32_t below(std::uint32_t n)
    {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return static_cast<std::uint32_t>(((state * 0x2545F4914F6CDD1Du) >> 32) % n);
    }
};

std::vector<std::string> encodeAll(const auto& words)
{
    std::vector<std::string> bytes;
    for (std::u16string_view word : words) {
        bytes.push_back(*quorvin::CodePage::windows1252().encode(word));
    }
    return bytes;
}

void capitalize(std::string& word)
{
    const quorvin::ByteTable& fold = quorvin::CodePage::windows1252().foldTable();
    for (int b = 0; b < 256; ++b) {
        if (b != static_cast<std::uint8_t>(word[0]) && fold[b] == static_cast<std::uint8_t>(word[0])) {
            word[0] = static_cast<char>(b);
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvin-make-text FILE BYTES\n");
        return 2;
    }
    const std::string ending = *quorvin::CodePage::windows1252().encode(u"\r\nFin du relevé KX-4711.\r\n");
    const std::uint64_t total = std::strtoull(argv[2], nullptr, 10);
    if (total < ending.size()) {
        std::fprintf(stderr, "quorvin-make-text: at least %zu bytes\n", ending.size());
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    const std::vector<std::string> languages[] = {encodeAll(kFrench), encodeAll(kEnglish)};
    Random random;
    std::string text;
    std::uint64_t written = 0;
    const std::uint64_t body = total - ending.size();
    while (written < body) {
        // A paragraph: a few sentences in one language, lines broken near 76 columns, a blank line after.
        const std::vector<std::string>& words = languages[random.below(2)];
        std::size_t column = 0;
        for (std::uint32_t sentence = 0, count = 2 + random.below(6); sentence < count; ++sentence) {
            for (std::uint32_t w = 0, length = 4 + random.below(16); w < length; ++w) {
                std::string word = words[random.below(static_cast<std::uint32_t>(words.size()))];
                if (w == 0 || random.below(25) == 0) {
                    capitalize(word);
                }
                if (w > 0 || sentence > 0) {
                    const bool breakLine = column + word.size() > 76;
                    text += breakLine ? "\r\n" : " ";
                    column = breakLine ? 0 : column + 1;
                }
                text += word;
                column += word.size();
                if (w + 1 < length && random.below(9) == 0) {
                    text += ",;:"[random.below(3)];
                    ++column;
                }
            }
            text += ".!?."[random.below(4)];
            ++column;
        }
        text += "\r\n\r\n";
        if (text.size() >= (1u << 20) || written + text.size() >= body) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(text.size(), body - written));
            std::fwrite(text.data(), 1, n, out);
            written += n;
            text.clear();
        }
    }
    std::fwrite(ending.data(), 1, ending.size(), out);
    return std::fclose(out) == 0 ? 0 : 2;
}
