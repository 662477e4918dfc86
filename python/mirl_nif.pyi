"""Types of the mirl_nif extension module: 70 functions, one overload per arity.

Generated from mirl.signatures by `python -m mirl._docgen`; do not edit.
Every failure raises TypeError with an error text ("badarg", "literal",
"variable", "level", "xref", "system_limit", "memory_limit", "badarity").
"""
from typing import Any, Dict, List, Optional, Tuple, Union, final, overload

@final
class _Handle:
    """A solver handle, made by new/1 or clone/2 (its runtime type, mirl_nif.mirl,
    is not an attribute of the module)."""

# A literal: a non-zero int (variable v, or -v for its negation) or True/False.
_Literal = int
# An atom: its int term (mirl.atoms.atom(name)), its name, or the name's character codes.
_Atom = Union[int, str, List[int]]
# A clause set: 0..3 or delta, gamma, beta, alpha.
_ClauseSet = _Atom
# Literals to mark or intersect: a level, or a tuple or list of literals.
_Set = Union[int, Tuple[_Literal, ...], List[_Literal]]
# A bump distance: places, a fraction of the variables, or none/next/log2/log10/rank.
_Distance = Union[int, float, _Atom]
# A sort key of order_sort (identity, -degree, +rank, ...) or None.
_SortKey = Optional[_Atom]


def new(options: Dict[Any, Any], /) -> _Handle:
    """Create a solver.  Creates a solver with the options of the map (every key optional;
    see Options). An empty map gives the defaults. Keys and atom values may be given by
    name. The handle lives until its last reference goes; handles share nothing, and
    every call runs under the interpreter lock."""

def clone(s: _Handle, options: Dict[Any, Any], /) -> _Handle:
    """Copy a solver.  Copies a solver into a new handle that shares nothing with it: the
    settings (each creation option may be overridden; see Clone options), the variables
    with their flags, the assignments of levels 0..level (default 0), every
    substitution, every symbol and the clauses of the chosen clause sets (delta always),
    optionally the propagation queue. The copy starts at level 0 with fresh statistics,
    marks, order (variables in index order) and random generator; clauses get fresh ids
    in slot order. Unknown option keys are ignored."""

def info(s: _Handle, key: _Atom, /) -> Union[int, bool, str, None]:
    """Read a statistic or setting.  Reads one counter, size or setting. Nothing changes,
    except that max_level, min_level and max_bound start over when read."""

def config(s: _Handle, key: _Atom, value: Any, /) -> None:
    """Change a setting.  Changes one option of a live solver (see Options); it takes
    effect from the next call that reads it. Turning xref on builds the occurrence lists
    of every stored clause, turning hash on indexes the clauses of delta, gamma and
    beta, turning vsids on renumbers the order, and seed re-keys the generator at once."""

@overload
def add_variable(s: _Handle, /) -> int:
    """Add one variable.  Adds a variable at the end of the decision order, unassigned,
    with the phase of init_phase and the two flags (both False when not given). Only
    variables flagged used (or all, with the option all_used) are decision candidates
    for nbcp/1 and next_unbound/1. Variables are numbered from 1; the flags can be read
    and changed with isatom/2,3 and isused/2,3."""

@overload
def add_variable(s: _Handle, is_atom: bool, /) -> int:
    """Add one variable.  Adds a variable at the end of the decision order, unassigned,
    with the phase of init_phase and the two flags (both False when not given). Only
    variables flagged used (or all, with the option all_used) are decision candidates
    for nbcp/1 and next_unbound/1. Variables are numbered from 1; the flags can be read
    and changed with isatom/2,3 and isused/2,3."""

@overload
def add_variable(s: _Handle, is_atom: bool, is_used: bool, /) -> int:
    """Add one variable.  Adds a variable at the end of the decision order, unassigned,
    with the phase of init_phase and the two flags (both False when not given). Only
    variables flagged used (or all, with the option all_used) are decision candidates
    for nbcp/1 and next_unbound/1. Variables are numbered from 1; the flags can be read
    and changed with isatom/2,3 and isused/2,3."""

@overload
def add_variables(s: _Handle, n: int, /) -> Tuple[int, int]:
    """Add a run of variables.  Adds n variables at once, as add_variable does one, all
    with the same flags."""

@overload
def add_variables(s: _Handle, n: int, is_atom: bool, /) -> Tuple[int, int]:
    """Add a run of variables.  Adds n variables at once, as add_variable does one, all
    with the same flags."""

@overload
def add_variables(s: _Handle, n: int, is_atom: bool, is_used: bool, /) -> Tuple[int, int]:
    """Add a run of variables.  Adds n variables at once, as add_variable does one, all
    with the same flags."""

def value(s: _Handle, lit: _Literal, /) -> Optional[bool]:
    """Value of a literal.  The current value of a literal (of its representative, when its
    variable was substituted). True and False are the constant literals."""

def level(s: _Handle, /) -> int:
    """Current level.  The number of the current decision level, as opened by push/1 or
    nbcp/1 and closed by pop/1,2."""

def bound(s: _Handle, lit: _Literal, /) -> Union[bool, int, None]:
    """What a literal is bound to.  Like value/2, but reads the literal itself rather than
    its representative: a substituted literal answers the literal that stands for it."""

def bind(s: _Handle, lit: _Literal, /) -> bool:
    """Bind a literal.  Makes a literal true at the current level with no implication
    clause, and queues its complement for propagation (the next bcp/nbcp propagates it).
    An already assigned literal is left as it is. Above level 0 it is recorded as the
    level's decision; at level 0 it is permanent."""

def decide(s: _Handle, lit: _Literal, /) -> bool:
    """Decide a variable by the phase rule.  Binds the literal like bind/2, but with the
    value the phase rule chooses: the variable's saved phase with use_phase, else
    init_phase (a random bit when it is None). With the default init_phase True,
    decide(s, -3) makes -3 true. Open the level with push/1 first."""

def subst(s: _Handle, a: _Literal, b: _Literal, /) -> bool:
    """Declare two literals equivalent.  Declares a ≡ b at level 0. When one is assigned,
    the other gets its value. When neither is, b's variable is eliminated: every clause
    containing b or -b is rewritten to a or -a (a clause that then contains both a and
    -a is marked dead, one that contains a twice loses the copy), and from then on every
    literal argument naming b's variable is read as its representative. Substitutions
    are permanent and counted as bound variables (number_of_subst_variables)."""

def implication_clause(s: _Handle, var: _Literal, /) -> int:
    """Clause that implied a variable.  The reason of an assignment made by propagation:
    the clause that became unit. This is how a caller reads explanations, for example to
    build its own conflict analysis."""

def implication_level(s: _Handle, var: _Literal, /) -> int:
    """Level of a variable's assignment.  The decision level of a variable's current
    assignment."""

def conflicting_clause(s: _Handle, index: int, /) -> int:
    """A recorded conflicting clause.  The conflicting clauses found by the last bcp/nbcp
    call (at most max_conflicting of them; info(s, "number_of_conflicting_clauses") says
    how many). The list stays readable until the next propagation call; conflict/4
    analyses one entry."""

def is_variable(s: _Handle, lit: _Literal, /) -> bool:
    """Whether a literal is not a constant.  Whether a literal (its representative) denotes
    a variable rather than a constant."""

def is_bound(s: _Handle, var: _Literal, /) -> bool:
    """Whether a variable is assigned.  Whether a variable is assigned (or substituted)."""

def is_equal(s: _Handle, a: _Literal, b: _Literal, /) -> bool:
    """Whether two literals are the same.  Compares two literals after substitution; a
    literal and its complement are not equal."""

@overload
def isused(s: _Handle, var: _Literal, /) -> bool:
    """Read or set the used flag.  The used flag makes a variable a decision candidate for
    nbcp/1 and next_unbound/1 (unless all_used is on, when every variable is). Setting
    it on an unassigned variable also moves the decision cursor back to it when needed."""

@overload
def isused(s: _Handle, var: _Literal, flag: bool, /) -> bool:
    """Read or set the used flag.  The used flag makes a variable a decision candidate for
    nbcp/1 and next_unbound/1 (unless all_used is on, when every variable is). Setting
    it on an unassigned variable also moves the decision cursor back to it when needed."""

@overload
def isatom(s: _Handle, var: _Literal, /) -> bool:
    """Read or set the atom flag.  A caller's flag on a variable; subscriptions to the
    topic atom report only variables that carry it."""

@overload
def isatom(s: _Handle, var: _Literal, flag: bool, /) -> bool:
    """Read or set the atom flag.  A caller's flag on a variable; subscriptions to the
    topic atom report only variables that carry it."""

def push(s: _Handle, /) -> int:
    """Open a level.  Opens a new decision level; later binds and propagations are recorded
    on it."""

@overload
def pop(s: _Handle, /) -> Union[int, bool]:
    """Close levels.  Backtracks to the level below (pop/1) or to the given level (pop/2):
    every assignment of the closed levels is undone and their records are reset. Level 0
    is never undone."""

@overload
def pop(s: _Handle, level: int, /) -> Union[int, bool]:
    """Close levels.  Backtracks to the level below (pop/1) or to the given level (pop/2):
    every assignment of the closed levels is undone and their records are reset. Level 0
    is never undone."""

@overload
def bcp(s: _Handle, /) -> bool:
    """Unit propagation.  Propagates every queued literal, in the order of the option
    qtype, assigning the literals that clauses make unit (their implication clause is
    that clause). On a conflict it records the conflicting clauses
    (conflicting_clause/2), empties the queue and answers False; the assignments stay
    until you backtrack. At level 0 satisfied clauses are marked dead and detached.
    After a propagation without conflict, bcp/2,3 look at the given literals: a literal
    is free when xref is on, it occurs in some clause, and every clause containing it is
    satisfied by another literal (so setting it either way changes no clause)."""

@overload
def bcp(s: _Handle, lits: List[_Literal], /) -> Union[bool, int]:
    """Unit propagation.  Propagates every queued literal, in the order of the option
    qtype, assigning the literals that clauses make unit (their implication clause is
    that clause). On a conflict it records the conflicting clauses
    (conflicting_clause/2), empties the queue and answers False; the assignments stay
    until you backtrack. At level 0 satisfied clauses are marked dead and detached.
    After a propagation without conflict, bcp/2,3 look at the given literals: a literal
    is free when xref is on, it occurs in some clause, and every clause containing it is
    satisfied by another literal (so setting it either way changes no clause)."""

@overload
def bcp(s: _Handle, lits: List[_Literal], collect: bool, /) -> Union[bool, Tuple[int, List[_Literal]]]:
    """Unit propagation.  Propagates every queued literal, in the order of the option
    qtype, assigning the literals that clauses make unit (their implication clause is
    that clause). On a conflict it records the conflicting clauses
    (conflicting_clause/2), empties the queue and answers False; the assignments stay
    until you backtrack. At level 0 satisfied clauses are marked dead and detached.
    After a propagation without conflict, bcp/2,3 look at the given literals: a literal
    is free when xref is on, it occurs in some clause, and every clause containing it is
    satisfied by another literal (so setting it either way changes no clause)."""

def nbcp(s: _Handle, /) -> bool:
    """Propagate and decide until done or a conflict.  The kernel's own search step:
    propagates, then repeatedly opens a level, decides the next candidate of the
    decision order (used variables, or all with all_used) by the phase rule and
    propagates, until a conflict or no candidate is left. After undo/1 flipped a
    decision, nbcp/1 first assigns the flipped literal. Conflicts are handled by the
    caller (conflict/4, pop/2)."""

def undo(s: _Handle, /) -> bool:
    """Chronological backtracking step.  Undoes the current level; when its decision is on
    its first branch, complements it (the level's undo state becomes toggle) and answers
    True; the next nbcp/1 assigns it. A level on its second branch is popped and the
    level below is tried. False at level 0 or when nothing is left to flip."""

@overload
def add_clause(s: _Handle, lits: List[_Literal], /) -> Union[bool, Tuple[bool, int]]:
    """Add a clause.  Adds a clause to a clause set (delta by default). The literals are
    normalised against level 0 (true literals make it satisfied, false ones drop),
    duplicates drop, tautologies are not stored. A stored clause gets the next slot of
    its set and is watched on two literals (except in alpha); when it is unit under the
    current assignment its last literal is assigned at once (propagate with bcp)."""

@overload
def add_clause(s: _Handle, lits: List[_Literal], clause_set: _ClauseSet, /) -> Union[bool, Tuple[bool, int]]:
    """Add a clause.  Adds a clause to a clause set (delta by default). The literals are
    normalised against level 0 (true literals make it satisfied, false ones drop),
    duplicates drop, tautologies are not stored. A stored clause gets the next slot of
    its set and is watched on two literals (except in alpha); when it is unit under the
    current assignment its last literal is assigned at once (propagate with bcp)."""

@overload
def get_clause(s: _Handle, id: int, /) -> Union[List[_Literal], bool]:
    """Read a clause.  The literals of a stored clause in stored order. Unless raw,
    literals false at level 0 are left out and a literal true at level 0 makes the
    answer True. The exclude literal (or None) is left out too; when it was the only
    literal left the answer is an empty list instead of False."""

@overload
def get_clause(s: _Handle, id: int, exclude: Optional[_Literal], /) -> Union[List[_Literal], bool]:
    """Read a clause.  The literals of a stored clause in stored order. Unless raw,
    literals false at level 0 are left out and a literal true at level 0 makes the
    answer True. The exclude literal (or None) is left out too; when it was the only
    literal left the answer is an empty list instead of False."""

@overload
def get_clause(s: _Handle, id: int, exclude: Optional[_Literal], raw: bool, /) -> Union[List[_Literal], bool]:
    """Read a clause.  The literals of a stored clause in stored order. Unless raw,
    literals false at level 0 are left out and a literal true at level 0 makes the
    answer True. The exclude literal (or None) is left out too; when it was the only
    literal left the answer is an empty list instead of False."""

@overload
def get_clause(s: _Handle, id: int, exclude: Optional[_Literal], raw: bool, as_tuple: bool, /) -> Union[List[_Literal], Tuple[_Literal, ...], bool]:
    """Read a clause.  The literals of a stored clause in stored order. Unless raw,
    literals false at level 0 are left out and a literal true at level 0 makes the
    answer True. The exclude literal (or None) is left out too; when it was the only
    literal left the answer is an empty list instead of False."""

def find_clause(s: _Handle, lits: List[_Literal], /) -> Union[int, bool]:
    """Find a stored clause.  Looks a clause up by its set of literals, through the clause
    hash when the option hash is on (then alpha clauses are not found), else by scanning
    the sets delta, gamma, beta, alpha."""

def compress_clause(s: _Handle, id_or_lits: Union[int, List[int]], /) -> bytearray:
    """Encode a clause as bytes.  A compact encoding of a stored clause (an empty slot
    gives an empty bytearray) or of a list of integers (not checked against the
    variables)."""

def clause_info(s: _Handle, id: int, key: _Atom, /) -> Union[int, None, Tuple[int, ...]]:
    """A property of a clause.  Reads one property of a stored clause: its length, whether
    it is dead, its watches, or the levels a learnt clause jumps between."""

def variable_info(s: _Handle, var: _Literal, key: _Atom, /) -> Union[int, bool, None, Tuple[int, int], List[Tuple[Any, int]]]:
    """A property of a variable.  Reads one property of a variable (its representative):
    implication data, phase, flags, occurrence count or symbols."""

def literal_info(s: _Handle, lit: _Literal, key: _Atom, /) -> Union[int, None, List[int], List[Tuple[Any, int]]]:
    """A property of a literal.  Reads one property of a literal (its representative): mark
    byte, occurrences, user count or symbols."""

def del_clause(s: _Handle, id_or_lits: Union[int, List[_Literal]], /) -> None:
    """Delete a clause.  Deletes a stored clause, named by its id or by its literals (found
    as find_clause/2 does). When it held the last slot of its set, trailing empty slots
    are released and their ids used again."""

def clean_clause(s: _Handle, id: int, /) -> None:
    """Simplify a clause at level 0.  Rewrites a clause against the level-0 assignment:
    false literals drop, a satisfied or dead clause is deleted; otherwise the shortened
    clause is watched again (in any set, alpha included). An empty slot is left alone."""

def get_clauses(s: _Handle, lit: _Literal, kind: int, /) -> List[int]:
    """Clauses watching or containing a literal.  Lists the clauses watching the literal
    (watch), containing it (literal) or containing either literal of its variable
    (variable); the last two need xref (else an empty list). The kind must be the atom
    term itself, atom("watch"), not the name. The literal is not resolved through
    substitution."""

def get_decision(s: _Handle, level: int, /) -> Union[int, bool]:
    """Decision literal of a level.  The decision of a level: the literal bind/2, decide/2
    or nbcp/1 recorded there (after undo/1, the complemented literal)."""

def get_undo_state(s: _Handle, level: int, /) -> str:
    """Undo state of a level.  Where the search of a level stands: no decision yet, first
    branch, flipped by undo/1, or second branch."""

@overload
def get_bindings(s: _Handle, /) -> Tuple[_Literal, ...]:
    """Bindings of a level.  The trail segment of one level, as the literals that are true."""

@overload
def get_bindings(s: _Handle, level: int, /) -> Tuple[_Literal, ...]:
    """Bindings of a level.  The trail segment of one level, as the literals that are true."""

@overload
def get_bindings(s: _Handle, level: int, newest_first: bool, /) -> Tuple[_Literal, ...]:
    """Bindings of a level.  The trail segment of one level, as the literals that are true."""

@overload
def get_bindings(s: _Handle, level: int, newest_first: bool, as_tuple: bool, /) -> Union[Tuple[_Literal, ...], List[_Literal]]:
    """Bindings of a level.  The trail segment of one level, as the literals that are true."""

@overload
def get_nbindings(s: _Handle, count: int, oldest_first: bool, /) -> Tuple[_Literal, ...]:
    """The first or last bindings across levels.  Reads the trail across level boundaries,
    from its start or from its end."""

@overload
def get_nbindings(s: _Handle, count: int, oldest_first: bool, as_tuple: bool, /) -> Union[Tuple[_Literal, ...], List[_Literal]]:
    """The first or last bindings across levels.  Reads the trail across level boundaries,
    from its start or from its end."""

def get_number_of_bindings(s: _Handle, level: int, /) -> int:
    """Number of bindings of a level.  The length of a level's trail segment."""

@overload
def order_sort(s: _Handle, key1: _SortKey, /) -> None:
    """Rebuild the order from scores.  Rebuilds the decision order from the unassigned
    variables, sorted by their score for key1 and, on ties, key2 (see Sort keys); a
    variable's score is the larger of its two literals' scores. Each variable's saved
    phase becomes the literal with the larger score (true on a tie). A random key re-
    seeds the generator with the seed (0 or absent: from the clock; also stored as the
    option seed). Variables assigned at level 0 leave the order for good."""

@overload
def order_sort(s: _Handle, key1: _SortKey, key2_or_seed: Union[_SortKey, int], /) -> None:
    """Rebuild the order from scores.  Rebuilds the decision order from the unassigned
    variables, sorted by their score for key1 and, on ties, key2 (see Sort keys); a
    variable's score is the larger of its two literals' scores. Each variable's saved
    phase becomes the literal with the larger score (true on a tie). A random key re-
    seeds the generator with the seed (0 or absent: from the clock; also stored as the
    option seed). Variables assigned at level 0 leave the order for good."""

@overload
def order_sort(s: _Handle, key1: _SortKey, key2: _SortKey, seed: int, /) -> None:
    """Rebuild the order from scores.  Rebuilds the decision order from the unassigned
    variables, sorted by their score for key1 and, on ties, key2 (see Sort keys); a
    variable's score is the larger of its two literals' scores. Each variable's saved
    phase becomes the literal with the larger score (true on a tie). A random key re-
    seeds the generator with the seed (0 or absent: from the clock; also stored as the
    option seed). Variables assigned at level 0 leave the order for good."""

def order_first(s: _Handle, lits: List[_Literal], /) -> None:
    """Move variables to the front of the order.  Puts the variables of the literals at the
    front of the decision order, in list order, and resets the decision cursor."""

def order_last(s: _Handle, lits: List[_Literal], /) -> None:
    """Move variables to the back of the order.  Puts the variables of the literals at the
    back of the decision order, in list order, and resets the decision cursor."""

@overload
def next_unbound(s: _Handle, /) -> Union[int, bool]:
    """Next unassigned candidate in the order.  next_unbound/1 advances the decision cursor
    to the first unassigned candidate (a used variable, or any with all_used) and
    answers it. next_unbound/2 with 0 answers the cursor as it stands (False when there
    is none); with a variable it answers the first unassigned candidate after it,
    without moving the cursor."""

@overload
def next_unbound(s: _Handle, after: _Literal, /) -> Union[int, bool]:
    """Next unassigned candidate in the order.  next_unbound/1 advances the decision cursor
    to the first unassigned candidate (a used variable, or any with all_used) and
    answers it. next_unbound/2 with 0 answers the cursor as it stands (False when there
    is none); with a variable it answers the first unassigned candidate after it,
    without moving the cursor."""

def queue_first(s: _Handle, /) -> Union[int, bool]:
    """First queued literal.  The head of the propagation queue that bind/2, decide/2 and
    unit clauses fill and bcp drains."""

def queue_next(s: _Handle, lit: _Literal, /) -> Union[int, bool]:
    """Next queued literal.  Walks the queue: feed each answer back, starting from
    queue_first/1, until False."""

def queue_clear(s: _Handle, /) -> bool:
    """Empty the propagation queue.  Drops every queued literal without propagating it (the
    assignments stay)."""

def add_symbol(s: _Handle, lits: Union[_Literal, List[_Literal]], key: Any, /) -> None:
    """Name literals by a term.  Binds a key to one literal or to a list of literals
    (stored as their representatives). Any term that can be encoded is a key; a str,
    bytearray or list of bytes is a raw key (the str "ab" and the list [97, 98] are the
    same key). Adding the same key with the same literals again changes nothing. Every
    literal remembers its symbols (literal_info/3, variable_info/3 symbol)."""

def find_symbol(s: _Handle, key: Any, /) -> Union[_Literal, List[_Literal], bool]:
    """Look a symbol up.  Answers the literals a key names."""

def first_symbol(s: _Handle, /) -> Any:
    """First symbol key.  Starts a walk over the symbol table; continue with next_symbol/2.
    The walk visits every symbol once when none is added or deleted meanwhile."""

def next_symbol(s: _Handle, key: Any, /) -> Any:
    """Next symbol key.  Continues a walk over the symbol table."""

def del_symbol(s: _Handle, key: Any, /) -> Optional[bool]:
    """Delete a symbol.  Removes a symbol and its entries in the literals' symbol lists."""

def use_clause(s: _Handle, id: int, /) -> None:
    """Stamp a clause as recently used.  Sets the clause's stamp to the current
    bcp_counter; clauseset_sort/2 puts the clauses with the newest stamps first (clauses
    are stamped when stored and when conflict/4 reads them)."""

def bump(s: _Handle, var: _Literal, distance: _Distance, /) -> None:
    """Move a variable towards the front.  Moves a variable towards the front of the
    decision order by a distance (see Bump distances), as conflict/4 does for the
    variables it meets. Nothing happens when vsids is off, the distance is 0, or the
    variable is assigned at level 0."""

def subscribe(s: _Handle, topics: Union[_Atom, List[str], List[int], List[_Atom]], /) -> None:
    """Register for level-0 events.  Registers the calling thread for events on literals
    fixed at level 0 and on substitutions, with the statistics named by the topics (see
    Topics). The library builds each event message (mirl, subject, stats) and performs
    the statistic resets it asks for, but has no receiver to deliver it to in this host;
    subscriptions cannot be removed."""

def clauseset_size(s: _Handle, clause_set: _ClauseSet, /) -> int:
    """Size of a clause set.  The slot count of a clause set: one more than the highest
    slot used (after trailing deleted slots are released). info/2 number_of_clauses
    counts live clauses."""

@overload
def clauseset_offset(s: _Handle, clause_set: _ClauseSet, /) -> int:
    """Read or set a clause set's start offset.  Each set has an offset (0 at first) where
    clauseset_first/2 starts; a caller sets it to skip the clauses it has seen already."""

@overload
def clauseset_offset(s: _Handle, clause_set: _ClauseSet, offset: int, /) -> None:
    """Read or set a clause set's start offset.  Each set has an offset (0 at first) where
    clauseset_first/2 starts; a caller sets it to skip the clauses it has seen already."""

def clauseset_sort(s: _Handle, clause_set: _ClauseSet, /) -> None:
    """Sort a clause set by use.  Reorders a clause set with the most recently stored or
    used clauses first (see use_clause/2), drops empty slots and renumbers the clauses:
    their ids change (occurrence lists and the hash follow; ids the caller holds and
    implication clauses of assigned variables do not)."""

def clauseset_first(s: _Handle, clause_set: _ClauseSet, /) -> Union[int, bool]:
    """First clause of a set.  Starts a walk over a clause set; continue with
    clauseset_next/2."""

def clauseset_next(s: _Handle, id: int, /) -> Union[int, bool]:
    """Next clause of a set.  Continues a walk over a clause set; the given id's own slot
    need not hold a clause."""

def set_user_count(s: _Handle, lit: _Literal, count: int, /) -> None:
    """Set a literal's user count.  Stores a 16-bit count on a literal (the count's low 16
    bits), read by literal_info/3 user and by the sort key user of order_sort. The
    literal is not resolved through substitution."""

def conflict(s: _Handle, level: int, distance: _Distance, index: int, /) -> Union[int, bool, None]:
    """Analyse a conflict into a learnt clause.  First-UIP analysis of conflicting clause
    index (see conflicting_clause/2) over the trail of level (the conflict level,
    normally the current one). Every variable met (above level 0) is bumped by the
    distance; the clauses read are stamped. The learnt clause's first literal is the
    asserting literal, the others are false below level; literals false at level 0 are
    left out. The clause is stored in alpha without watches; backjump (clause_info/3
    jump), then move_clause/3 it to gamma, which asserts its first literal. All marks
    are cleared. The assignment is not changed."""

@overload
def minimize(s: _Handle, id: int, /) -> Optional[int]:
    """Minimise a learnt clause.  Removes from a learnt clause (in alpha) the literals
    implied false by the others through their implication clauses; call it before
    backtracking. local (the default) removes a literal when every other literal of its
    implication clause is in the clause or at level 0; global and recursive (the same)
    also follow implications through levels 1..current - 1. The first literal is always
    kept and the order of the others is kept."""

@overload
def minimize(s: _Handle, id: int, mode: _Atom, /) -> Optional[int]:
    """Minimise a learnt clause.  Removes from a learnt clause (in alpha) the literals
    implied false by the others through their implication clauses; call it before
    backtracking. local (the default) removes a literal when every other literal of its
    implication clause is in the clause or at level 0; global and recursive (the same)
    also follow implications through levels 1..current - 1. The first literal is always
    kept and the order of the others is kept."""

def move_clause(s: _Handle, id: int, clause_set: _ClauseSet, /) -> Union[bool, Tuple[bool, int]]:
    """Activate a learnt clause.  Moves a clause from alpha to gamma under a new id and
    watches it; when it is unit under the current assignment its one unassigned literal
    (the first, for a learnt clause after the backjump) is assigned at once, with the
    clause as implication clause."""

def unmark(s: _Handle, /) -> None:
    """Clear all marks.  Empties the set of marked literals."""

@overload
def mark(s: _Handle, lits_or_level: _Set, /) -> None:
    """Mark literals.  Marks literals, at most one per variable (the first mark of a
    variable stays, with its polarity). The set is a level (the literals true at that
    level) or a tuple or list of literals. The marks are cleared first unless reset is
    False. conflict/4 clears all marks."""

@overload
def mark(s: _Handle, lits_or_level: _Set, reset: bool, /) -> None:
    """Mark literals.  Marks literals, at most one per variable (the first mark of a
    variable stays, with its polarity). The set is a level (the literals true at that
    level) or a tuple or list of literals. The marks are cleared first unless reset is
    False. conflict/4 clears all marks."""

def intersect_marks(s: _Handle, lits_or_level: _Set, /) -> None:
    """Keep the marks a set also holds.  Keeps only the marked literals that the set
    contains with the same polarity; their order stays."""

def intersect_var(s: _Handle, lit: _Literal, lits_or_level: _Set, as_tuple: bool, /) -> Union[List[Any], Tuple[Any, ...]]:
    """Which literals of a set hit the marks.  Compares a set with the marks without
    changing them. lit is only checked and copied into the reports, so a caller can tag
    them."""

def get_marked(s: _Handle, as_tuple: bool, /) -> Union[Tuple[_Literal, ...], List[_Literal]]:
    """List the marked literals.  Reads the marks."""

def rand(s: _Handle, /) -> int:
    """A random number.  Draws from the generator seeded by the option seed (the same non-
    zero seed gives the same sequence)."""
