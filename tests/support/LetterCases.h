// Names that differ only in the case of letters outside ASCII, in the ANSI code page that holds
// both spellings, with their UTF-8 spellings on the host side: one name per script.
#ifndef RK_TESTS_LETTERCASES_H
#define RK_TESTS_LETTERCASES_H

struct LetterCase {
  const char* script;
  const char* codePage;  // RKWIN_ACP
  const char* lower;     // ANSI bytes
  const char* upper;
  const char* lowerUtf8;
  const char* upperUtf8;
};

// Code page 936 has full-width Latin, Greek and Cyrillic letters in both cases, but accented
// Latin letters in lower case only; code page 1252 has those in both.
const LetterCase kLetterCases[] = {
    {"full-width Latin", "936", "\xA3\xF6\xA3\xE1\xA3\xEE\xA3\xF4\xA3\xF2\xA3\xF9",  // ｖａｎｔｒｙ
     "\xA3\xD6\xA3\xC1\xA3\xCE\xA3\xD4\xA3\xD2\xA3\xD9",                             // ＶＡＮＴＲＹ
     "\xEF\xBD\x96\xEF\xBD\x81\xEF\xBD\x8E\xEF\xBD\x94\xEF\xBD\x92\xEF\xBD\x99",
     "\xEF\xBC\xB6\xEF\xBC\xA1\xEF\xBC\xAE\xEF\xBC\xB4\xEF\xBC\xB2\xEF\xBC\xB9"},
    {"Cyrillic", "936", "\xA7\xD3\xA7\xD1\xA7\xDF\xA7\xE4\xA7\xE2\xA7\xDA",  // вантри
     "\xA7\xA3\xA7\xA1\xA7\xAF\xA7\xB4\xA7\xB2\xA7\xAA",                     // ВАНТРИ
     "\xD0\xB2\xD0\xB0\xD0\xBD\xD1\x82\xD1\x80\xD0\xB8", "\xD0\x92\xD0\x90\xD0\x9D\xD0\xA2\xD0\xA0\xD0\x98"},
    {"Greek", "936", "\xA6\xC1\xA6\xC2\xA6\xC3", "\xA6\xA1\xA6\xA2\xA6\xA3",  // αβγ, ΑΒΓ
     "\xCE\xB1\xCE\xB2\xCE\xB3", "\xCE\x91\xCE\x92\xCE\x93"},
    {"accented Latin", "1252", "\xE9\xE0", "\xC9\xC0", "\xC3\xA9\xC3\xA0", "\xC3\x89\xC3\x80"},  // éà, ÉÀ
};

#endif
