#!/usr/bin/env python3
"""Fills the country names ("c_" + country code) into the language files.

The names come from the iso-codes package (the ISO 3166-1 list and its
translations); the short forms below replace the official long ones where
those read badly in a channel list, and codes that are not in ISO 3166-1
("uk", "xk", "int") have hand-written names.

The set of country codes is the union of
  - the country keys already in the language files,
  - the codes of the playlists given with --m3u (the importer's rule: the
    part of the tvg-id, without its @feed part, after its last dot, else the
    playlist file name's first two letters when they are a country, else
    "int"),
  - the codes listed in the files given with --codes (one code a line),
  - "int".

Hand-written texts are kept; only the country keys are rewritten.
Standard library only; the build does not run this script, its output is
committed.

    python3 make_country_names.py --m3u ~/iptv-org/streams
    python3 make_country_names.py --check
"""

import argparse
import gettext
import glob
import json
import os
import re
import sys

ISO_JSON = "/usr/share/iso-codes/json/iso_3166-1.json"
LOCALE_DIR = "/usr/share/locale"
INTERNATIONAL = "int"

# Codes outside ISO 3166-1, named by hand in every language.
HAND_NAMES = {
    "uk": {"en": "United Kingdom", "de": "Vereinigtes Königreich", "fr": "Royaume-Uni",
           "es": "Reino Unido", "it": "Regno Unito", "pl": "Wielka Brytania",
           "pt": "Reino Unido", "ru": "Великобритания"},
    "xk": {"en": "Kosovo", "de": "Kosovo", "fr": "Kosovo", "es": "Kosovo", "it": "Kosovo",
           "pl": "Kosowo", "pt": "Kosovo", "ru": "Косово"},
    INTERNATIONAL: {"en": "International", "de": "International", "fr": "International",
                    "es": "Internacional", "it": "Internazionale", "pl": "Międzynarodowe",
                    "pt": "Internacional", "ru": "Международные"},
}

# Short, familiar forms where iso-codes gives an official or inverted name
# ("Iran, Islamic Republic of") or has no translation of its short name.
OVERRIDES = {
    "ae": {"ru": "ОАЭ"},
    "bn": {"en": "Brunei", "de": "Brunei", "fr": "Brunei", "es": "Brunéi", "pl": "Brunei",
           "ru": "Бруней"},
    "bo": {"es": "Bolivia", "it": "Bolivia"},
    "bq": {"en": "Caribbean Netherlands", "de": "Karibische Niederlande",
           "fr": "Pays-Bas caribéens", "es": "Caribe Neerlandés",
           "pl": "Holandia Karaibska", "pt": "Países Baixos Caribenhos",
           "ru": "Карибские Нидерланды"},
    "bf": {"es": "Burkina Faso"},
    "cd": {"en": "DR Congo", "de": "DR Kongo", "fr": "RD Congo", "es": "RD del Congo",
           "it": "RD del Congo", "pl": "DR Konga", "pt": "RD Congo", "ru": "ДР Конго"},
    "cg": {"fr": "Congo"},
    "ci": {"es": "Costa de Marfil"},
    "do": {"ru": "Доминиканская Республика"},
    "fo": {"de": "Färöer", "fr": "Îles Féroé"},
    "gq": {"fr": "Guinée équatoriale"},
    "ir": {"de": "Iran", "fr": "Iran", "es": "Irán", "pl": "Iran", "pt": "Irão"},
    "kp": {"es": "Corea del Norte"},
    "kr": {"es": "Corea del Sur"},
    "la": {"de": "Laos", "fr": "Laos", "es": "Laos", "pl": "Laos", "pt": "Laos",
           "ru": "Лаос"},
    "mv": {"es": "Maldivas"},
    "ps": {"en": "Palestine", "de": "Palästina", "fr": "Palestine", "es": "Palestina",
           "it": "Palestina", "pl": "Palestyna", "pt": "Palestina"},
    "ru": {"en": "Russia", "de": "Russland", "fr": "Russie", "es": "Rusia",
           "pl": "Rosja", "pt": "Rússia", "ru": "Россия"},
    "sr": {"es": "Surinam"},
    "sx": {"en": "Sint Maarten", "de": "Sint Maarten", "fr": "Saint-Martin (Pays-Bas)",
           "es": "Sint Maarten", "it": "Sint Maarten", "pl": "Sint Maarten",
           "pt": "São Martinho (Países Baixos)", "ru": "Синт-Мартен"},
    "sy": {"fr": "Syrie", "es": "Siria", "pl": "Syria", "pt": "Síria", "ru": "Сирия"},
    "tn": {"es": "Túnez"},
    "tr": {"en": "Turkey", "fr": "Turquie", "es": "Turquía", "it": "Turchia", "ru": "Турция"},
    "tw": {"de": "Taiwan", "it": "Taiwan", "pt": "Taiwan"},
    "tz": {"es": "Tanzania", "pl": "Tanzania"},
    "us": {"ru": "США"},
    "ve": {"de": "Venezuela", "fr": "Venezuela", "es": "Venezuela", "it": "Venezuela",
           "pt": "Venezuela"},
    "vg": {"en": "British Virgin Islands", "es": "Islas Vírgenes Británicas",
           "it": "Isole Vergini britanniche", "pt": "Ilhas Virgens Britânicas",
           "ru": "Британские Виргинские острова"},
    "vn": {"fr": "Vietnam"},
}

TVG_ID = re.compile(r'tvg-id="([^"]*)"')


def load_iso_countries():
    with open(ISO_JSON, encoding="utf-8") as f:
        entries = json.load(f)["3166-1"]
    return {e["alpha_2"].lower(): e for e in entries}


def is_country(code, iso):
    return code in iso or (code in HAND_NAMES and code != INTERNATIONAL)


def codes_of_playlist(path, iso):
    prefix = os.path.basename(path)[:2].lower()
    fallback = prefix if is_country(prefix, iso) else INTERNATIONAL
    codes = set()
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if not line.startswith("#EXTINF"):
                continue
            match = TVG_ID.search(line)
            tvg_id = match.group(1).split("@", 1)[0] if match else ""
            if "." in tvg_id:
                codes.add(tvg_id.rsplit(".", 1)[1].lower())
            else:
                codes.add(fallback)
    return codes


def codes_of_playlists(folder, iso):
    paths = sorted(glob.glob(os.path.join(folder, "*.m3u")))
    if not paths:
        sys.exit(f"make_country_names: no .m3u files in {folder}")
    codes = set()
    for path in paths:
        codes |= codes_of_playlist(path, iso)
    return codes


def codes_of_list(path):
    with open(path, encoding="utf-8") as f:
        return {line.strip().lower() for line in f if line.strip() and not line.startswith("#")}


def is_country_key(key):
    # "c_" + channel id keys carry a "_" after the country code; country keys do not.
    return key.startswith("c_") and "_" not in key[2:] and len(key) > 2


def existing_codes(languages):
    return {key[2:] for doc in languages.values() for key in doc["texts"] if is_country_key(key)}


def translator(lang):
    if lang == "en":
        return None
    try:
        return gettext.translation("iso_3166-1", LOCALE_DIR, languages=[lang])
    except OSError:
        print(f"make_country_names: no iso-codes translation for '{lang}', using English names",
              file=sys.stderr)
        return None


def iso_name(entry, translation):
    """The translated short name when iso-codes has one, else the translated name."""
    if translation is None:
        return entry.get("common_name", entry["name"])
    common = entry.get("common_name")
    if common:
        translated = translation.gettext(common)
        if translated != common:
            return translated
    return translation.gettext(entry["name"])


def country_name(code, lang, iso, translation):
    if code in HAND_NAMES:
        names = HAND_NAMES[code]
        return names.get(lang) or names["en"]
    override = OVERRIDES.get(code, {}).get(lang)
    return override or iso_name(iso[code], translation)


def load_languages(folder):
    languages = {}
    for path in sorted(glob.glob(os.path.join(folder, "*.json"))):
        with open(path, encoding="utf-8") as f:
            languages[path] = json.load(f)
    if not languages:
        sys.exit(f"make_country_names: no language files in {folder}")
    return languages


def save_language(path, doc):
    # Written beside the file and renamed over it, so a failure leaves the old file.
    temporary = path + ".tmp"
    with open(temporary, "w", encoding="utf-8") as f:
        json.dump(doc, f, ensure_ascii=False, indent=2, sort_keys=True)
        f.write("\n")
    os.replace(temporary, path)


# Texts that are formats: their one directive; "%%" shows a percent sign.
FORMAT_TEXTS = {"str_version": "%s", "str_status_buffering": "%d", "msg_more_entries": "%d"}


def check_languages(languages):
    """Problems that would make the pack inconsistent; empty when there are none."""
    problems = []
    keys = set().union(*(doc.get("texts", {}) for doc in languages.values()))
    codes, orders = set(), set()
    for path, doc in languages.items():
        name = os.path.basename(path)
        for field in ("language", "ext"):
            if not isinstance(doc.get(field), str) or not doc[field]:
                problems.append(f"{name}: '{field}' is missing or empty")
        if os.path.splitext(name)[0] != doc.get("ext"):
            problems.append(f"{name}: 'ext' is {doc.get('ext')!r}, not the file's name")
        codes.add(doc.get("ext"))
        orders.add(doc.get("order"))
        texts = doc.get("texts", {})
        for key in sorted(keys - set(texts)):
            problems.append(f"{name}: '{key}' is missing (other languages have it)")
        for key, text in texts.items():
            if not isinstance(text, str) or not text.strip():
                problems.append(f"{name}: '{key}' is empty")
            elif key in FORMAT_TEXTS:
                directives = re.findall(r"%.", text.replace("%%", ""))
                if directives != [FORMAT_TEXTS[key]] or text.replace("%%", "").count("%") != 1:
                    problems.append(f"{name}: '{key}' must hold exactly one {FORMAT_TEXTS[key]}"
                                    " (and '%%' for a percent sign)")
            elif "%" in text:
                problems.append(f"{name}: '{key}' holds '%', which only format texts may")
    if len(codes) != len(languages):
        problems.append("two files share one 'ext'")
    if orders != set(range(len(languages))):
        problems.append(f"'order' values {sorted(orders, key=str)} do not run from 0 without gaps")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--dir", default=os.path.dirname(os.path.abspath(__file__)),
                        help="folder of the language files (default: this script's folder)")
    parser.add_argument("--m3u", action="append", default=[],
                        help="folder of .m3u playlists whose country codes are added")
    parser.add_argument("--codes", action="append", default=[],
                        help="file of country codes, one a line, that are added")
    parser.add_argument("--check", action="store_true",
                        help="only check the language files for consistency; change nothing")
    args = parser.parse_args()

    languages = load_languages(args.dir)
    if args.check:
        problems = check_languages(languages)
        for problem in problems:
            print(f"make_country_names: {problem}", file=sys.stderr)
        sys.exit(1 if problems else 0)

    iso = load_iso_countries()
    codes = existing_codes(languages) | {INTERNATIONAL}
    for folder in args.m3u:
        codes |= codes_of_playlists(folder, iso)
    for path in args.codes:
        codes |= codes_of_list(path)

    unnamed = sorted(c for c in codes if c not in iso and c not in HAND_NAMES)
    if unnamed:
        sys.exit("make_country_names: codes without a name, add them to HAND_NAMES: "
                 + " ".join(unnamed))

    inverted = []
    for path, doc in languages.items():
        lang = doc["ext"]
        translation = translator(lang)
        texts = {k: v for k, v in doc["texts"].items() if not is_country_key(k)}
        for code in sorted(codes):
            name = country_name(code, lang, iso, translation)
            if ", " in name:
                inverted.append(f"{lang}:{code} {name}")
            texts["c_" + code] = name
        doc["texts"] = texts
        save_language(path, doc)

    for item in inverted:
        print(f"make_country_names: inverted official name, consider an override: {item}",
              file=sys.stderr)
    print(f"make_country_names: {len(codes)} countries in {len(languages)} languages")


if __name__ == "__main__":
    main()
