// quorvin-make-text [--utf-8|--utf-16le] FILE BYTES: writes BYTES bytes of prose, French and English
// paragraphs with capitals, accents, punctuation and CR LF line breaks, the same bytes on every machine:
// in Windows-1252, or in UTF-8 or UTF-16LE (after a byte-order mark) with some Russian and Greek
// paragraphs too. The file ends with the line "Fin du relevé KX-4711." (in its last 100 bytes) for the
// found-at-the-end runs.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/code_page.h"
#include "scanner/case_folding.h"
#include "scanner/unicode_form.h"

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

constexpr std::u16string_view kRussian[] = {
    u"и",      u"в",       u"не",      u"на",      u"что",       u"он",     u"она",    u"они",     u"мы",
    u"вы",     u"это",     u"как",     u"так",     u"но",        u"по",     u"из",     u"за",      u"от",
    u"для",    u"уже",     u"ещё",     u"когда",   u"где",       u"здесь",  u"там",    u"очень",   u"привет",
    u"мир",    u"дом",     u"город",   u"страна",  u"день",      u"ночь",   u"утро",   u"вечер",   u"время",
    u"год",    u"человек", u"женщина", u"ребёнок", u"друг",      u"отец",   u"мать",   u"брат",    u"сестра",
    u"школа",  u"книга",   u"письмо",  u"окно",    u"река",      u"гора",   u"вопрос", u"ответ",   u"история",
    u"работа", u"жизнь",   u"слово",   u"большой", u"маленький", u"новый",  u"старый", u"красный", u"белый",
    u"чёрный", u"хороший", u"быстро",  u"Москва",  u"Петербург", u"Россия", u"Волга",  u"Иван",    u"Мария",
    u"Пётр",   u"Анна",    u"Ольга",   u"Сергей",
};

constexpr std::u16string_view kGreek[] = {
    u"και",     u"το",       u"της",     u"του",     u"η",        u"ο",       u"να",      u"με",
    u"σε",      u"για",      u"από",     u"που",     u"δεν",      u"είναι",   u"ένα",     u"μια",
    u"στο",     u"στη",      u"τα",      u"οι",      u"ως",       u"αλλά",    u"όταν",    u"εδώ",
    u"εκεί",    u"πολύ",     u"σήμερα",  u"κόσμος",  u"σπίτι",    u"πόλη",    u"χώρα",    u"μέρα",
    u"νύχτα",   u"πρωί",     u"βράδυ",   u"χρόνος",  u"άνθρωπος", u"γυναίκα", u"παιδί",   u"φίλος",
    u"πατέρας", u"μητέρα",   u"σχολείο", u"βιβλίο",  u"γράμμα",   u"θάλασσα", u"ποταμός", u"βουνό",
    u"ερώτηση", u"απάντηση", u"ιστορία", u"δουλειά", u"ζωή",      u"λέξη",    u"σοφία",   u"μεγάλος",
    u"μικρός",  u"νέος",     u"παλιός",  u"καλός",   u"γρήγορα",  u"Αθήνα",   u"Ελλάδα",  u"Σωκράτης",
};

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

enum class Output { Windows1252, Utf8, Utf16Le };

// The word with its first letter in upper case, when it is a lower-case letter whose upper case the
// output can write.
std::u16string capitalized(std::u16string_view word, Output output)
{
    std::u16string result(word);
    const char32_t first = word[0];
    if (quorvin::unicode::fold(first) != first) {
        return result;
    }
    for (char32_t other : quorvin::unicode::casesOf(first)) {
        const std::u16string upper(1, static_cast<char16_t>(other));
        if (other != first && other < 0x10000 &&
            (output != Output::Windows1252 || quorvin::CodePage::windows1252().encode(upper))) {
            result[0] = static_cast<char16_t>(other);
            break;
        }
    }
    return result;
}

std::string encoded(std::u16string_view text, Output output)
{
    if (output == Output::Windows1252) {
        return *quorvin::CodePage::windows1252().encode(text);
    }
    std::string bytes;
    for (char16_t c : text) {
        bytes += quorvin::encode(output == Output::Utf8 ? quorvin::Encoding::Utf8 : quorvin::Encoding::Utf16Le, c);
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv)
{
    Output output = Output::Windows1252;
    if (argc == 4 && std::string_view(argv[1]) == "--utf-8") {
        output = Output::Utf8;
    } else if (argc == 4 && std::string_view(argv[1]) == "--utf-16le") {
        output = Output::Utf16Le;
    } else if (argc != 3) {
        std::fprintf(stderr, "usage: quorvin-make-text [--utf-8|--utf-16le] FILE BYTES\n");
        return 2;
    }
    const char* name = argv[argc - 2];
    const std::string start = output == Output::Utf16Le ? "\xFF\xFE" : "";
    const std::string ending = encoded(u"\r\nFin du relevé KX-4711.\r\n", output);
    const std::string space = encoded(u" ", output);
    const std::uint64_t total = std::strtoull(argv[argc - 1], nullptr, 10);
    if (total < start.size() + ending.size() || total % space.size() != 0) {
        std::fprintf(stderr, "quorvin-make-text: at least %zu bytes, a whole number of characters\n",
                     start.size() + ending.size());
        return 2;
    }
    std::FILE* out = std::fopen(name, "wb");
    if (out == nullptr) {
        std::perror(name);
        return 2;
    }
    // Windows-1252 prose is French and English alone, half and half; the Unicode files have one
    // paragraph in eight in Russian and one in eight in Greek.
    const std::span<const std::u16string_view> languages[] = {kFrench, kEnglish, kRussian, kGreek};
    const auto language = [&](Random& random) -> std::span<const std::u16string_view> {
        if (output == Output::Windows1252) return languages[random.below(2)];
        const std::uint32_t pick = random.below(8);
        return languages[pick < 3 ? 0 : pick < 6 ? 1 : pick - 4];
    };
    Random random;
    std::u16string text;
    std::uint64_t written = start.size();
    std::fwrite(start.data(), 1, start.size(), out);
    const std::uint64_t body = total - ending.size();
    while (written < body) {
        // A paragraph: a few sentences in one language, lines broken near 76 columns, a blank line after.
        const std::span<const std::u16string_view> words = language(random);
        std::size_t column = 0;
        for (std::uint32_t sentence = 0, count = 2 + random.below(6); sentence < count; ++sentence) {
            for (std::uint32_t w = 0, length = 4 + random.below(16); w < length; ++w) {
                std::u16string word(words[random.below(static_cast<std::uint32_t>(words.size()))]);
                if (w == 0 || random.below(25) == 0) {
                    word = capitalized(word, output);
                }
                if (w > 0 || sentence > 0) {
                    const bool breakLine = column + word.size() > 76;
                    text += breakLine ? u"\r\n" : u" ";
                    column = breakLine ? 0 : column + 1;
                }
                text += word;
                column += word.size();
                if (w + 1 < length && random.below(9) == 0) {
                    text += u",;:"[random.below(3)];
                    ++column;
                }
            }
            text += u".!?."[random.below(4)];
            ++column;
        }
        text += u"\r\n\r\n";
        if (text.size() >= (1u << 19) || written + text.size() >= body) {
            std::string bytes = encoded(text, output);
            if (written + bytes.size() > body) {
                // Whole characters only: spaces make up the bytes of a character cut at the end.
                std::size_t cut = static_cast<std::size_t>(body - written);
                while (output == Output::Utf8 && cut > 0 && (static_cast<std::uint8_t>(bytes[cut]) & 0xC0) == 0x80) {
                    --cut;
                }
                bytes.resize(cut);
                while (written + bytes.size() < body) bytes += space;
            }
            std::fwrite(bytes.data(), 1, bytes.size(), out);
            written += bytes.size();
            text.clear();
        }
    }
    std::fwrite(ending.data(), 1, ending.size(), out);
    return std::fclose(out) == 0 ? 0 : 2;
}
