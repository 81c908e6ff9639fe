package com.qel.vandrel.com.win32;

import java.lang.annotation.Documented;
import java.lang.annotation.ElementType;
import java.lang.annotation.Retention;
import java.lang.annotation.RetentionPolicy;
import java.lang.annotation.Target;

/**
 * Marks a method of an event target as the one that receives the event with the given DISPID
 * (see {@link Handler#dispatchingTo(Object)}).
 *
 * <p>The method is called with the event's arguments in the caller's order; it takes either
 * exactly as many parameters as the event has arguments (each converted value is passed as it
 * is, so declare the parameters as the Java types the values arrive as, or {@code Object}), or
 * one {@code Object[]} parameter that receives them all. Its return value, if any, is the
 * event's result.
 */
@Documented
@Retention(RetentionPolicy.RUNTIME)
@Target(ElementType.METHOD)
public @interface DispId {
  /**
   * The DISPID of the event.
   *
   * @return the DISPID
   */
  int value();

  /**
   * The name by which an event source that asks the sink for DISPIDs finds the event; the
   * method's own name when empty. Names match without regard to case.
   *
   * @return the event's name, or "" for the method's name
   */
  String name() default "";
}
