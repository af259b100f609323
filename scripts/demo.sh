#!/usr/bin/env bash
# The main job: set up, build, and show the product at work.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
"$here/scripts/build.sh" native
