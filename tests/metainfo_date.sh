#!/usr/bin/env bash
# The software-centre metadata's release date is the date of the sources,
# whatever the day of the build (desktop/metainfo.cmake): SOURCE_DATE_EPOCH
# first, then the last commit's date (in UTC), then, without the sources'
# own git history, the date of their files.
#   bash tests/metainfo_date.sh CMAKE DESKTOP_DIR
set -euo pipefail
cmake=$1 desktop=$2
command -v git >/dev/null || {
  [[ ${CI:-} != true ]] || { echo "FAIL: git is not installed" >&2; exit 1; }
  echo "SKIP: git is not installed"; exit 77
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export GIT_CONFIG_GLOBAL=/dev/null GIT_CONFIG_NOSYSTEM=1 TZ=EST5
failures=0

# date_of SOURCE_DIR [GIT] [ENV...]: the release date written for those sources.
date_of() {
  local source=$1 git=$2
  shift 2
  env -u SOURCE_DATE_EPOCH "$@" "$cmake" -DSOURCE_DIR="$source" -DGIT_EXECUTABLE="$git" \
    -DINPUT="$desktop/example.lumaro.Lumaro.metainfo.xml.in" -DOUTPUT="$scratch/out.xml" \
    -DPROJECT_VERSION=1.0.0 -DLUMARO_WEB_HOST=host.example -DLUMARO_SCREENSHOT_HEIGHT=1 \
    -P "$desktop/metainfo.cmake"
  sed -nE 's/.*<release version="1.0.0" date="([^"]*)".*/\1/p' "$scratch/out.xml"
}
expect() {
  local what=$1 want=$2 got=$3
  if [[ $got == "$want" ]]; then echo "ok: $what: $got"; else echo "FAIL: $what: $got, not $want" >&2; failures=$((failures + 1)); fi
}
# sources SOURCE_DIR: a top CMakeLists.txt dated 2005-06-07 (UTC noon).
sources() { mkdir -p "$1" && echo 'project(x)' >"$1/CMakeLists.txt" && touch -d '2005-06-07 12:00 UTC' "$1/CMakeLists.txt"; }
# commit DIR DATE: commits what is in DIR (or nothing), made at DATE.
commit() {
  git -C "$1" add -A
  GIT_AUTHOR_DATE=$2 GIT_COMMITTER_DATE=$2 git -C "$1" -c user.name=t -c user.email=t@t.example \
    -c commit.gpgsign=false -c core.hooksPath=/dev/null commit -q --allow-empty -m "at $2"
}

# Dates are taken in UTC, while the build runs five hours west of Greenwich
# (TZ), where some of these moments fall on the day before.

# A clone: the commit's date, not the files'.
repo=$scratch/repo
sources "$repo"
git -C "$repo" init -q
commit "$repo" '2001-02-03T23:30:00-05:00'
expect "a clone, the last commit's day in UTC" 2001-02-04 "$(date_of "$repo" git)"
commit "$repo" '2002-03-04T10:00:00+00:00'
expect "a clone, after another commit" 2002-03-04 "$(date_of "$repo" git)"
expect "SOURCE_DATE_EPOCH before the commit" 2009-02-14 "$(date_of "$repo" git SOURCE_DATE_EPOCH=1234571490)"

# A tarball: no history of its own, even unpacked inside another repository.
outer=$scratch/outer
mkdir -p "$outer"
git -C "$outer" init -q
echo packaging >"$outer/README"
commit "$outer" '2011-11-11T11:00:00+00:00'
sources "$outer/lumaro-1.0.0"
expect "a tarball inside another repository" 2005-06-07 "$(date_of "$outer/lumaro-1.0.0" git)"
sources "$scratch/tarball"
expect "a tarball where git is not installed" 2005-06-07 "$(date_of "$scratch/tarball" "")"
expect "a tarball with SOURCE_DATE_EPOCH" 2009-02-14 "$(date_of "$scratch/tarball" "" SOURCE_DATE_EPOCH=1234571490)"
((failures == 0))
