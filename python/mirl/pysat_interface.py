"""The methods a PySAT user expects of a solver object, with PySAT's meaning,
for ``Solver`` to inherit: budgets that only ``solve_limited`` obeys,
propagation under assumptions, model enumeration, phases, proofs as lists of
lines, counters with PySAT's keys, and the constructor arguments PySAT's
``Solver(name=..., bootstrap_with=..., use_timer=..., ...)`` passes on.

``propagations`` counts assignments, as MiniSat's counter does: every
literal made true once (by a decision, an assumption or unit propagation)
is propagated once.  The kernel's trail gives them: what is bound now plus
what every backjump undid.

What the kernel does not have answers as PySAT answers for a backend
without it: native cardinality constraints (``supports_atmost`` is False,
``add_atmost`` and ``activate_atmost`` raise ``NotImplementedError``), the
external propagator interface, variable pools, activities and local search
(``NotImplementedError``).  XOR constraints are added as clauses over fresh
variables.
"""

import functools

import mirl_nif as _nif

from .atoms import atom

__all__ = ["PySATInterface", "ProofRecorder"]

_BOUND = atom("number_of_bound_variables")
_UNLIMITED = float("inf")
# Keyword arguments of PySAT's solver constructors that have no effect here.
_ACCEPTED = ("incr", "native_card", "process")
# configure() parameters and the kernel options they set.
_PARAMETERS = {"seed": "seed", "phase": "init_phase", "use_phase": "use_phase", "queue": "qtype"}


class ProofRecorder:
    """Keeps a DRUP proof as PySAT's ``get_proof`` returns it: a list of
    lines such as ``"-5 0"`` and ``"d 1 2 0"``; may forward every step to
    a ``DratWriter`` as well."""

    def __init__(self, forward=None):
        self.lines = []
        self.forward = forward
        self.lemmas = 0
        self.deletions = 0

    def add(self, literals):
        self.lemmas += 1
        self.lines.append(" ".join(map(str, literals)) + " 0" if literals else "0")
        if self.forward is not None:
            self.forward.add(literals)

    def delete(self, literals):
        self.deletions += 1
        self.lines.append("d " + " ".join(map(str, literals)) + " 0")
        if self.forward is not None:
            self.forward.delete(literals)

    def flush(self):
        if self.forward is not None:
            self.forward.flush()

    def close(self):
        if self.forward is not None:
            self.forward.close()


def _not_supported(what):
    raise NotImplementedError("%s not supported by mirl" % what)


class PySATInterface:
    """Mixed into ``Solver``; relies on its kernel handle, counters and
    search loop."""

    # -- construction ---------------------------------------------------------

    def _init_pysat(self, name, use_timer, with_proof, warm_start, extra):
        """The PySAT constructor arguments; called by ``Solver.__init__``
        before any clause is added."""
        unknown = sorted(set(extra) - set(_ACCEPTED))
        if unknown:
            raise TypeError("Solver() got an unexpected keyword argument %r" % unknown[0])
        self.name = name
        self.use_timer = bool(use_timer)
        self._warm = bool(warm_start)
        self._limited = False
        self._decision_budget = None
        self._undone = 0  # assignments undone by backjumps so far
        self._phases = {}
        if with_proof:
            self._proof = ProofRecorder(self._proof)

    def new(self, name="mirl", bootstrap_with=None, use_timer=False, **kwargs):
        """Create the solver again after ``delete`` (as PySAT's ``new``):
        a solver that has not been deleted stays as it is."""
        if self._handle is None:
            self.__init__(bootstrap_with, name=name, use_timer=use_timer, **kwargs)

    # -- formula ----------------------------------------------------------------

    def add_parsed(self, clauses):
        """Add clauses already checked by the DIMACS reader: lists of
        non-zero ints whose variables exist (``ensure_vars``).  The fast
        path of the command line; answers as ``append_formula``."""
        self._refuse_while_solving("add a clause")
        self._nclauses += len(clauses)
        if self._unsat:
            return False
        handle = self.handle
        add = _nif.add_clause
        if [] in clauses:
            self._unsat = True
            return False
        results = list(map(functools.partial(add, handle), clauses))
        # Loading happens at level 0: the empty clause, or a clause all of
        # whose literals are false there, refutes the formula; the latter
        # needs assignments at level 0.
        if False in results or (
            _nif.get_number_of_bindings(handle, 0)
            and any(r[0] is False for r in results if r.__class__ is tuple)
        ):
            self._unsat = True
        return not self._unsat

    def add_atmost(self, lits, k, weights=[], no_return=True):
        _not_supported("Atmost constraints are")

    def activate_atmost(self):
        _not_supported("Native cardinality constraints are")

    def supports_atmost(self):
        """False: cardinality constraints must be encoded into clauses
        (``pysat.card``), as for MiniSat."""
        return False

    def add_xor_clause(self, lits, value=True):
        """Add the constraint that an odd number of ``lits`` is true
        (``value`` True) or an even number (False), as clauses over a chain
        of fresh variables, three literals a link."""
        literals = self._literals(lits)
        parity = bool(value)
        if not literals:
            if parity:
                self.add_clause([])
            return
        # t_1 = l_1, t_i = t_{i-1} xor l_i; the last t must equal the parity.
        current = literals[0]
        for literal in literals[1:]:
            fresh = self.new_var()
            self.add_clause([-fresh, current, literal])
            self.add_clause([-fresh, -current, -literal])
            self.add_clause([fresh, -current, literal])
            self.add_clause([fresh, current, -literal])
            current = fresh
        self.add_clause([current if parity else -current])

    # -- budgets ------------------------------------------------------------------

    def conf_budget(self, budget=-1):
        """Let the next ``solve_limited`` calls stop (answer None) after
        ``budget`` more conflicts; 0 or a negative budget removes the limit.
        ``solve`` ignores budgets."""
        self._conflict_budget = None if budget is None or budget <= 0 else self._conflicts + budget

    def prop_budget(self, budget=-1):
        """The same for ``budget`` more propagations (assignments
        propagated)."""
        self._propagation_budget = None if budget is None or budget <= 0 else self._propagations() + budget

    def dec_budget(self, budget):
        """The same for ``budget`` more decisions."""
        self._decision_budget = None if budget is None or budget <= 0 else self._decisions_estimate() + budget

    def solve_limited(self, assumptions=[], expect_interrupt=False):
        """``solve`` within the budgets set by ``conf_budget``,
        ``prop_budget`` and ``dec_budget``: None when one runs out or after
        ``interrupt``."""
        self._limited = True
        try:
            return self.solve(assumptions)
        finally:
            self._limited = False

    def _search_limits(self):
        """(conflict limit, whether the other budgets need checking) for a
        search about to start.  ``solve`` runs without budgets and, as
        MiniSat's does, lifts them: a budget set before it would otherwise
        be spent already when ``solve_limited`` comes next."""
        if not self._limited:
            self._conflict_budget = self._propagation_budget = self._decision_budget = None
            return _UNLIMITED, False
        limit = _UNLIMITED if self._conflict_budget is None else self._conflict_budget
        return limit, self._propagation_budget is not None or self._decision_budget is not None

    def _over_budget(self):
        """Whether a propagation or decision budget has run out."""
        if self._propagation_budget is not None and self._propagations() >= self._propagation_budget:
            return True
        return self._decision_budget is not None and self._decisions_estimate() >= self._decision_budget

    # -- the kernel's trail -----------------------------------------------------

    def _pop(self, target):
        """Back to level ``target``, counting the assignments undone."""
        handle = self._handle
        info = _nif.info
        before = info(handle, _BOUND)
        _nif.pop(handle, target)
        self._undone += before - info(handle, _BOUND)

    def _propagations(self):
        return self._undone + _nif.info(self.handle, _BOUND)

    def propagate(self, assumptions=[], phase_saving=0):
        """Assume the literals one after the other, each on a level of its
        own, propagating after each, and stop at the first conflict or
        false assumption.  Returns (no conflict met, the literals assigned
        above level 0: assumptions and what they implied, then on a conflict
        a literal of the conflicting clause).  The solver is back at level 0
        afterwards; level-0 consequences are not listed (they hold without
        the assumptions).  ``phase_saving`` is accepted; the values the
        assumptions imply always become the saved phases."""
        self._refuse_while_solving("propagate")
        handle = self.handle
        literals = self._literals(assumptions)
        if self._unsat:
            return False, []
        if not _nif.bcp(handle):
            _nif.queue_clear(handle)
            self._refute()
            return False, []
        value = _nif.value
        status = True
        conflict = False
        for literal in literals:
            current = value(handle, literal)
            if current is False:
                status = False
                break
            if current is True:
                continue
            _nif.push(handle)
            _nif.bind(handle, literal)
            if not _nif.bcp(handle):
                conflict = True
                break
        implied = []
        level = _nif.level(handle)
        for at in range(1, level + 1):
            implied.extend(_nif.get_bindings(handle, at))
        if conflict:
            implied.append(_nif.get_clause(handle, _nif.conflicting_clause(handle, 0), None, True)[0])
            _nif.queue_clear(handle)
        if level:
            self._pop(0)
        return status and not conflict, implied

    # -- phases and modes -------------------------------------------------------

    def set_phases(self, literals=[], hard=False):
        """Prefer the given values when deciding these variables.  As in
        MiniSat, the preference is the saved phase, which the search
        changes as it assigns the variables (phase saving)."""
        for literal in self._literals(literals):
            self._phases[abs(literal)] = literal
        self._apply_phases()

    def _apply_phases(self):
        """Write the preferred phases into the kernel's saved phases: a
        level's bindings save their values when it is undone, all but its
        first, so each batch is bound twice, the second time first literal
        last."""
        if not self._phases:
            return
        handle = self.handle
        free = [literal for literal in self._phases.values() if _nif.value(handle, literal) is None]
        if not free:
            return
        if len(free) == 1:
            # A companion first binding whose own saved phase stays as it is.
            for variable in range(1, self._nvars + 1):
                if variable != abs(free[0]) and _nif.value(handle, variable) is None:
                    saved = _nif.variable_info(handle, variable, "phase")
                    free.insert(0, variable if saved != -1 else -variable)
                    break
        for order in (free, free[1:] + free[:1]):
            _nif.push(handle)
            for literal in order:
                _nif.bind(handle, literal)
            _nif.queue_clear(handle)
            _nif.pop(handle, 0)

    def start_mode(self, warm=False):
        """Warm start keeps each variable's last value as its next decision
        value, which this solver always does; the mode is recorded."""
        self._warm = bool(warm)

    def configure(self, parameters):
        """Set solver parameters: ``seed`` (int), ``phase`` (value of first
        decisions, True or False), ``use_phase`` (decisions reuse each
        variable's last value), ``queue`` ("fifo", "lifo", "recursive")."""
        handle = self.handle
        for name, setting in dict(parameters).items():
            if name not in _PARAMETERS:
                raise ValueError("unknown parameter %r (known: %s)" % (name, ", ".join(sorted(_PARAMETERS))))
            _nif.config(handle, _PARAMETERS[name], setting)

    # -- results ------------------------------------------------------------------

    def get_proof(self):
        """The proof lines of a solver made with ``with_proof=True`` (None
        otherwise)."""
        if isinstance(self._proof, ProofRecorder):
            return list(self._proof.lines)
        return None

    def enum_models(self, assumptions=[], projection=[]):
        """Yield the models one after the other, each blocked by a clause
        once found (the formula is unsatisfiable afterwards); with a
        ``projection`` (distinct positive variables) the models are
        restricted to those variables and blocked there."""
        assumptions = list(assumptions)
        projection = list(projection)
        if projection:
            if any(v <= 0 for v in projection) or len(set(projection)) != len(projection):
                raise ValueError("Projection must contain distinct positive variable IDs.")
            largest = max(projection)
        while self.solve(assumptions=assumptions):
            model = self.get_model()
            if projection:
                if largest > len(model):
                    raise ValueError("Projection contains a variable outside the model.")
                model = [model[v - 1] for v in projection]
            self.add_clause([-literal for literal in model])
            yield model

    def accum_stats(self):
        """Counters over the solver's life, PySAT's keys and meaning:
        restarts, conflicts, decisions, propagations (assignments)."""
        return {
            "restarts": self._restarts,
            "conflicts": self._conflicts,
            "decisions": self._decisions_estimate(),
            "propagations": self._propagations(),
        }

    def kernel_memory(self):
        """Bytes the kernel reports for its records, clauses included."""
        return _nif.info(self.handle, "memory_size")

    # -- what the kernel has not got ---------------------------------------------

    def set_activities(self, activities={}):
        _not_supported("Setting variable activities is")

    def get_activities(self, variables=[]):
        _not_supported("Getting variable activities is")

    def connect_propagator(self, propagator):
        _not_supported("External propagators are")

    def disconnect_propagator(self):
        _not_supported("External propagators are")

    def enable_propagator(self):
        _not_supported("External propagators are")

    def disable_propagator(self):
        _not_supported("External propagators are")

    def propagator_active(self):
        _not_supported("External propagators are")

    def observe(self, var):
        _not_supported("External propagators are")

    def ignore(self, var):
        _not_supported("External propagators are")

    def reset_observed(self):
        _not_supported("External propagators are")

    def is_decision(self, lit):
        _not_supported("External propagators are")

    def attach_vpool(self, vpool=None):
        _not_supported("Variable synchronization is")

    def sync_vars(self):
        _not_supported("Variable synchronization is")

    def sync_vpool(self):
        _not_supported("Variable synchronization is")

    def flip_bits(self, assumptions=[], preferences=None, budget=100000):
        _not_supported("Local search is")

    def apply_jw(self):
        _not_supported("Applying JW scores is")
