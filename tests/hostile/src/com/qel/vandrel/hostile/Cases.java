package com.qel.vandrel.hostile;

import java.util.ArrayList;
import java.util.Collections;
import java.util.HashSet;
import java.util.List;
import java.util.Set;

/** Every hostile case, group by group. */
final class Cases {
  private static final List<HostileCase> ALL = collect();

  private Cases() {}

  static List<HostileCase> all() { return ALL; }

  static HostileCase byName(String name) {
    for (HostileCase c : ALL) {
      if (c.name().equals(name)) {
        return c;
      }
    }
    throw new IllegalArgumentException("no hostile case " + name);
  }

  private static List<HostileCase> collect() {
    List<HostileCase> all = new ArrayList<>();
    all.addAll(BeforeInitCases.all());
    all.addAll(FaultyReleaseCases.all());
    all.addAll(NestingCases.all());
    all.addAll(HandleCases.all());
    all.addAll(CloseRaceCases.all());
    all.addAll(MisuseCases.all());
    all.addAll(EnumerationCases.all());
    all.addAll(SampleServerCases.all());
    all.addAll(HarnessCases.all());
    Set<String> names = new HashSet<>();
    for (HostileCase c : all) {
      if (!c.name().matches("\\w+\\.\\w+") || !names.add(c.name())) {
        throw new IllegalStateException("bad or repeated case name " + c.name());
      }
    }
    return Collections.unmodifiableList(all);
  }
}
