# Sourced by e2e.sh inside its sandbox.
