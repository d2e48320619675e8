# figure(): a population figure as a census has it, six to eight digits,
# from a generator seeded the same way each run.
BEGIN { srand(2026) }
function figure() { return int(100000 + rand() * 99900000) }
