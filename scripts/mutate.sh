#!/usr/bin/env bash
# A small mutation check of the core: puts one written-in fault at a time into the core's
# sources, builds the test programs, runs the tests that need no display, and tells for each
# fault which test caught it, or that none did. Not run by CI.
#
#   scripts/mutate.sh [--tree DIR] [--build DIR] [--only ID,...] [--table FILE] [--baseline]
#                     [--check]
#
#   --tree DIR    the source tree to mutate (default: this repository)
#   --build DIR   its build folder (default: DIR/build-mutate; configured once if new)
#   --only IDS    only these mutants (comma-separated ids)
#   --table FILE  also write the table to FILE
#   --baseline    run the tests once unmutated first, and stop if any fails
#   --check       only say for each mutant whether its text is found once; build nothing
#
# A mutant is one exact piece of text in one file and what replaces it. A text that is not
# in its file exactly once (moved or changed code) is reported as "not found" and skipped.
# The mutated file is put back byte for byte when the mutant is done, also when the script is
# stopped; nothing else in the tree is changed. A failing test counts only when it fails again
# on a second run (a flaky test catches nothing).
set -uo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
tree=$repo
build=
only=
table_file=
baseline=0
check_only=0

usage() { sed -n '5,15p' "$0" | sed 's/^# \{0,1\}//'; }

while [ $# -gt 0 ]; do
    case $1 in
    --tree) tree=${2:?--tree needs a folder}; shift 2 ;;
    --build) build=${2:?--build needs a folder}; shift 2 ;;
    --only) only=${2:?--only needs ids}; shift 2 ;;
    --table) table_file=${2:?--table needs a file}; shift 2 ;;
    --baseline) baseline=1; shift ;;
    --check) check_only=1; shift ;;
    -h | --help) usage; exit 0 ;;
    *) echo "unknown option: $1" >&2; usage >&2; exit 2 ;;
    esac
done
tree=$(cd "$tree" && pwd) || exit 2
build=${build:-$tree/build-mutate}
nice_run=(nice -n 10)

# ---------------------------------------------------------------------------------------
# The mutants: id, file, original text (exactly once in the file), replacement, fault.

ids=() files=() originals=() replacements=() faults=()
mutant() {
    ids+=("$1") files+=("$2") originals+=("$3") replacements+=("$4") faults+=("$5")
}

model=Tessavin/catalogue/CatalogueModel.cpp
updates=Tessavin/update/UpdateScheduler.cpp
mutant M01 $updates \
    $'        jobList_.erase(it);\n    }\n    channel->SetUpdating(false);' \
    $'        jobList_.erase(it);\n    }' \
    'updating flag not cleared when an update finishes'
mutant M02 $updates \
    'if (channel->BeginUpdating())' \
    'if (channel->BeginUpdating() || true)' \
    'update not refused while the channel is updating'
mutant M03 $model \
    $'if (channel->IsUpdating()) {\n        LogPrintf(L"The channel %s is being updated, Can\'t delete it", name.c_str());' \
    $'if (false) {\n        LogPrintf(L"The channel %s is being updated, Can\'t delete it", name.c_str());' \
    'delete of a channel not refused while it updates'
mutant M04 $model \
    $'SetText(node);\n        SaveChannels();' \
    'SetText(node);' \
    'renamed channel not saved (SaveChannels dropped)'
mutant M05 $model \
    $'    SaveGroups();\n    return raw;' \
    '    return raw;' \
    'new group not saved (SaveGroups dropped)'
mutant M06 $model \
    $'    SaveGroups();\n    SaveChannels();\n    return MoveResult::kMoved;' \
    $'    SaveGroups();\n    return MoveResult::kMoved;' \
    'moved channel not saved (SaveChannels dropped)'
mutant M07 Tessavin/opml/CatalogueImport.cpp \
    $'    model_.SaveGroups();\n    model_.SaveChannels();\n    return 1;' \
    $'    model_.SaveChannels();\n    return 1;' \
    'imported groups not saved (SaveGroups dropped)'
mutant M08 $model \
    $'    FlushSaves();\n    files_.Close();' \
    '    files_.Close();' \
    'pending channel save not flushed on close'
mutant M09 $model \
    'health.Failed() ? !platform::ReplaceFileContent(path, health.ToText())' \
    'health.Failed() ? false' \
    'health file of a failing channel not written'
mutant M10 $model \
    'static_cast<uint64_t>(last) + wanted <= UINT32_MAX' \
    'static_cast<uint64_t>(last) + wanted < UINT32_MAX' \
    'id limit off by one (id 4294967295 never given)'
mutant M11 $model \
    $'if (!IdsLeft(lastChannelId_, 1))\n        return nullptr;' \
    $'if (false)\n        return nullptr;' \
    'new channel without the id-exhaustion check'
mutant M12 $model \
    'IdsLeft(lastGroupId_ - 1, groups.size())' \
    'IdsLeft(lastGroupId_ - 1, 1)' \
    'import: second id check ignores the number of groups'
mutant M13 $model \
    'static_cast<int64_t>(newGroups.size()) - 1);' \
    'static_cast<int64_t>(newGroups.size()));' \
    'import: last group id left one too high'
mutant M14 $model \
    $'if (unread == total)\n            return;' \
    $'if (unread > total)\n            return;' \
    'marking unread lets the unread count pass the total'
mutant M15 $model \
    'if (wParam == 0) {' \
    'if (wParam != 0) {' \
    'deleted item: read and unread swapped in the counts'

files_=Tessavin/catalogue/CatalogueFiles.cpp
mutant M16 $files_ \
    'if (!hasCopy || platform::FileSize(CopyPath(slot.path)) <= 0) {' \
    'if (true) {' \
    'empty file beside a good copy loaded as an empty list'
mutant M17 $files_ \
    'if (!IsOpen() || slot.damaged) {' \
    'if (!IsOpen()) {' \
    'save writes over a damaged file'
mutant M18 $files_ \
    'platform::KeepCopy(slot.path, CopyPath(slot.path));' \
    '(void)0;' \
    'save keeps no last good copy'
mutant M19 $files_ \
    'for (int n = 2; platform::PathExists(name); ++n)' \
    'for (int n = 2; false; ++n)' \
    'a second damaged file replaces the one kept before'
mutant M20 $files_ \
    $'if (!ar.AtEnd())\n            throw' \
    $'if (false)\n            throw' \
    'bytes after the last record accepted'
mutant M21 $files_ \
    'if (className != Record::kClassName || schema != Record::kSchema)' \
    'if (className != Record::kClassName)' \
    'record schema not checked on load'
mutant M22 Tessavin/catalogue/ChannelHealth.cpp \
    'if (out.size() >= 200)' \
    'if (out.size() > 200)' \
    'failure reason cut at 201 bytes, not 200'

updater=Tessavin/engine/ChannelUpdater.cpp
mutant M23 $updater \
    'if (++shown_ > maxItems_) {' \
    'if (++shown_ >= maxItems_) {' \
    'item limit off by one (one item fewer)'
mutant M24 $updater \
    '{files_.State(), &state}' \
    '{files_.State() + L"~", &state}' \
    'state file not written with the page'
mutant M25 Tessavin/engine/ItemStateFile.cpp \
    'record.readMark = content[start + 1];' \
    'record.readMark = content[start + 2];' \
    'state file: read mark taken from the flag column'
mutant M26 Tessavin/engine/ItemStateFile.cpp \
    'if (length >= 7) {' \
    'if (length > 7) {' \
    'state file: a line with an empty link is unusable'

action=Tessavin/reader/ItemAction.cpp
mutant M27 $action \
    "(current >= '1' && current <= '9' ? 0 : 1)" \
    "(current >= '1' && current <= '9' ? 1 : 0)" \
    'read/flag mark written the wrong way round'
mutant M28 $action \
    'call.channelId != static_cast<int64_t>(static_cast<int32_t>(channel.GetId()))' \
    'false' \
    'item action: channel id not checked'
mutant M29 $action \
    '!state.Write(marks, 4) || ' \
    '' \
    'item action: state-file mark not written'
mutant M30 $action \
    'item <= 0 || item > 0x7FFFFFFF' \
    'item < 0 || item > 0x7FFFFFFF' \
    'item action: item number 0 accepted'

sanitizer=Tessavin/engine/HtmlSanitizer.cpp
mutant M31 Tessavin/engine/WebAddress.cpp \
    'if (allowMail && scheme == "mailto")' \
    'if (allowMail && (scheme == "mailto" || scheme == "javascript"))' \
    'sanitizer: javascript: links kept'
mutant M32 $sanitizer \
    '{{"src", Value::kImage},' \
    '{{"src", Value::kImage}, {"onerror", Value::kText},' \
    'sanitizer: onerror attribute of img kept'
mutant M33 $sanitizer \
    'kept != value || EndsWithFooterName(value)' \
    'EndsWithFooterName(value)' \
    'sanitizer: fast path keeps values the tree path rewrites'
mutant M34 $sanitizer \
    'if (++tags > kMaxTags)' \
    'if (++tags >= kMaxTags)' \
    'sanitizer: tag limit off by one'
mutant M35 $sanitizer \
    'digits > 0 && digits <= 6' \
    'digits > 0 && digits <= 7' \
    'sanitizer: 7-digit number attributes kept'

mutant M36 Tessavin/xml/XmlDocument.cpp \
    'if (depth > kMaxDepth) {' \
    'if (depth >= kMaxDepth) {' \
    'XML nesting limit off by one'
opml=Tessavin/opml/OpmlImport.cpp
mutant M37 $opml \
    'outline.url.size() > DialogRules::kMaxText)' \
    'outline.url.size() > DialogRules::kMaxText + 1)' \
    'OPML: 261-character address accepted'
mutant M38 Tessavin/catalogue/DialogRules.cpp \
    'return scheme == "http" || (scheme == "https" && allowHttps);' \
    'return !scheme.empty() && (scheme != "https" || allowHttps);' \
    'OPML: non-http address (ftp://) accepted'
mutant M39 $opml \
    'if (!WholeNumber(text, value) || value <= 0) {' \
    'if (!WholeNumber(text, value) || value < 0) {' \
    'OPML: interval/item limit 0 clamped, not defaulted'

dates=Tessavin/config/DateTime.cpp
mutant M40 $dates \
    "const int sign = text[pos] == '-' ? -1 : 1;" \
    "const int sign = text[pos] == '-' ? 1 : -1;" \
    'date: time-zone offset sign swapped'
mutant M41 $dates \
    'return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;' \
    'return y % 4 == 0 && y % 100 != 0;' \
    'date: years divisible by 400 not leap'

download=Tessavin/engine/UpDateXml.cpp
mutant M42 $download \
    'if (attempts > limit) {' \
    'if (attempts >= limit) {' \
    'download: one attempt fewer than LinkNum + 1'
mutant M43 $download \
    't->received > t->maxBytes' \
    't->received >= t->maxBytes' \
    'download: document of exactly the maximum size refused'
mutant M44 $download \
    'if (!https && t->sawHttps) {' \
    'if (false && t->sawHttps) {' \
    'download: redirect from https to http followed'
mutant M45 Tessavin/platform/ProfileFile.cpp \
    'if (value.find_first_of(L"\r\n") != std::wstring::npos)' \
    'if (false)' \
    'settings: value with a line break written'
mutant M46 Tessavin/engine/HttpValidators.cpp \
    'return Printable(value) && value.size() <= maxBytes;' \
    'return Printable(value) && value.size() < maxBytes;' \
    'validators file: value of the maximum size refused'

# ---------------------------------------------------------------------------------------

# Replaces the one occurrence of $2 in file $1 with $3; exit 3 when $2 is not there exactly once.
replace_once() {
    python3 - "$@" <<'EOF'
import sys
path, original, replacement = sys.argv[1], sys.argv[2].encode(), sys.argv[3].encode()
with open(path, "rb") as f:
    data = f.read()
count = data.count(original)
if count != 1:
    print(count)
    sys.exit(3)
with open(path, "r+b") as f:
    f.write(data.replace(original, replacement))
    f.truncate()
EOF
}

selected() {
    [ -z "$only" ] && return 0
    case ",$only," in *",$1,"*) return 0 ;; esac
    return 1
}

# Put back the file being mutated (also on exit or interruption): byte for byte, with a new
# modification time so that the next build compiles it again.
active_file=
backup=$(mktemp)
restore() {
    if [ -n "$active_file" ]; then
        cat "$backup" >"$active_file"
        active_file=
    fi
}
trap 'restore; rm -f "$backup"' EXIT
trap 'exit 130' INT TERM HUP

if [ "$check_only" = 1 ]; then
    status=0
    for i in "${!ids[@]}"; do
        selected "${ids[$i]}" || continue
        file=$tree/${files[$i]}
        if [ ! -f "$file" ]; then
            echo "${ids[$i]} ${files[$i]}: no such file"
            status=1
            continue
        fi
        count=$(python3 -c 'import sys; print(open(sys.argv[1], "rb").read().count(sys.argv[2].encode()))' \
            "$file" "${originals[$i]}")
        if [ "$count" = 1 ]; then
            echo "${ids[$i]} ${files[$i]}: found"
        else
            echo "${ids[$i]} ${files[$i]}: not found (found $count times)"
            status=1
        fi
    done
    exit $status
fi

# The test programs: the known ones and every test folder's own (tests/<folder>/*Test.cpp),
# those that tests/CMakeLists.txt builds; the UI tests need a display and are left out.
targets=()
add_target() {
    local t
    for t in "${targets[@]}"; do [ "$t" = "$1" ] && return; done
    grep -qw -- "$1" "$tree/tests/CMakeLists.txt" && targets+=("$1")
}
for t in platform_tests config_tests host_tests catalogue_tests engine_tests reader_tests \
    xml_tests cli_tests; do
    add_target "$t"
done
for dir in "$tree"/tests/*/; do
    name=$(basename "$dir")
    [ "$name" = ui ] && continue
    compgen -G "$dir*Test.cpp" >/dev/null || continue
    add_target "${name}_tests"
done

logs=$build/mutate-logs
if [ ! -f "$build/CMakeCache.txt" ]; then
    generator=()
    command -v ninja >/dev/null && generator=(-G Ninja)
    "${nice_run[@]}" cmake -S "$tree" -B "$build" "${generator[@]}" -DTESSAVIN_BENCH=OFF \
        >/dev/null || { echo "configuring $build failed" >&2; exit 1; }
fi
mkdir -p "$logs"

build_tests() {
    "${nice_run[@]}" cmake --build "$build" -j2 --target "${targets[@]}" >"$1" 2>&1
}

# Runs the tests; prints the names of those that failed, in the order they ended, each only
# if it failed again on a second run.
run_tests() {
    local log=$1
    (cd "$build" && "${nice_run[@]}" ctest -j2 -E '^ui_' --timeout 120 >"$log" 2>&1)
    local failed
    failed=$(sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) .*\*\*\*.*/\1/p' "$log")
    [ -z "$failed" ] && return 0
    (cd "$build" && "${nice_run[@]}" ctest --rerun-failed --timeout 120 >"$log.rerun" 2>&1)
    local again
    again=$(sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) .*\*\*\*.*/\1/p' "$log.rerun")
    local name
    for name in $failed; do
        grep -qxF -- "$name" <<<"$again" && echo "$name"
    done
}

echo "tree:    $tree"
echo "build:   $build"
echo "targets: ${targets[*]}"
echo "== unmutated build"
if ! build_tests "$logs/unmutated.build.log"; then
    echo "the unmutated tree does not build: see $logs/unmutated.build.log" >&2
    exit 1
fi
if [ "$baseline" = 1 ]; then
    echo "== unmutated tests"
    failing=$(run_tests "$logs/unmutated.ctest.log")
    if [ -n "$failing" ]; then
        echo "tests fail without a mutant: $(echo $failing)" >&2
        exit 1
    fi
fi

rows=()
row() { rows+=("$(printf '%-4s %-32s %-56s %s' "$1" "$2" "$3" "$4")"); echo "${rows[-1]}"; }
echo "== mutants"
applied=0
for i in "${!ids[@]}"; do
    id=${ids[$i]}
    selected "$id" || continue
    short=${files[$i]#Tessavin/}
    file=$tree/${files[$i]}
    if [ ! -f "$file" ]; then
        row "$id" "$short" "${faults[$i]}" "not found (no such file)"
        continue
    fi
    cp "$file" "$backup"
    active_file=$file
    if ! count=$(replace_once "$file" "${originals[$i]}" "${replacements[$i]}"); then
        active_file=
        row "$id" "$short" "${faults[$i]}" "not found (text found $count times)"
        continue
    fi
    applied=1
    if ! build_tests "$logs/$id.build.log"; then
        restore
        row "$id" "$short" "${faults[$i]}" "did not compile ($logs/$id.build.log)"
        continue
    fi
    failing=$(run_tests "$logs/$id.ctest.log")
    restore
    if [ -z "$failing" ]; then
        row "$id" "$short" "${faults[$i]}" "SURVIVED"
    else
        set -- $failing
        first=$1
        row "$id" "$short" "${faults[$i]}" "caught: $first$([ $# -gt 1 ] && echo " (+$(($# - 1)) more)")"
    fi
done

if [ "$applied" = 1 ]; then
    echo "== rebuilding the unmutated tree"
    build_tests "$logs/unmutated.build.log" || echo "rebuild failed: see $logs/unmutated.build.log" >&2
fi

echo
echo "== table"
header=$(printf '%-4s %-32s %-56s %s' id file fault result)
printf '%s\n' "$header" "${rows[@]}"
if [ -n "$table_file" ]; then
    printf '%s\n' "$header" "${rows[@]}" >"$table_file"
fi
survived=0
for r in "${rows[@]}"; do [[ $r == *SURVIVED ]] && survived=$((survived + 1)); done
echo "$survived of ${#rows[@]} mutants survived"
