/* A right-hand side of 2^14 references in a balanced sum, written with a
   macro: every reference was found by a walk of the list of them all:
   a time quadratic in their number. */
#define D(x) (x + x)
double a[2], x;
int main(void)
{
#pragma resource [1][1]
#pragma latency [1][1]
  x = D(D(D(D(D(D(D(D(D(D(D(D(D(D(a[1]))))))))))))));
  return 0;
}
